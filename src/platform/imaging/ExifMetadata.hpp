#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/RgbaImage.hpp"

#include <cstdint>
#include <optional>

namespace qv::platform::imaging {

// Exif, TIFF and GPS tags of JPEG, TIFF and DNG files through exiv2, in the
// form of the photo metadata dictionary (see platform/media/MetadataKeys.hpp).
//
// Written and read ({Exif}, {TIFF}, {GPS}):
//  - ExposureTime, FNumber, FocalLength, ImgDirection, Altitude as rationals:
//    fractions that are meant exactly stay exact (0.008 s is 1/125, 20 s is 20/1);
//  - Latitude and Longitude (degrees) as degrees, minutes and seconds;
//  - TimeStamp "HH:mm:ss.SSSSSS" as three rationals, GPSVersion "2.2.0.0" as
//    four bytes, AltitudeRef as a byte, ISOSpeedRatings as shorts;
//  - the text tags as ASCII.
// Read only: the {DNG} levels, neutral, colour matrix and camera model, and
// the top-level PixelWidth and PixelHeight where the file says them.
// Keys this layer does not know are left out of the file.
//
// The picture's orientation: {TIFF} Orientation, else the top-level Orientation that a
// captured photo carries (pictureOrientation), is the file's Orientation tag, so a
// result keeps the way its photos were held.

// The file data with the dictionary's tags written in (each replacing the
// file's tag of the same name); the image data is kept. The tags Exif readers
// require of every file are added where missing (ExifVersion, FlashpixVersion;
// ColorSpace when `colorSpace` is given: sRGB or uncalibrated; in JPEG also the
// components, pixel dimensions, resolution and chroma positioning).
Result<FileData> withMetadata(FileBytes file, const MetadataDictionary& metadata,
                              std::optional<ColorSpace> colorSpace = std::nullopt);

// A picture's size in pixels.
struct PixelSize {
    std::uint32_t width;
    std::uint32_t height;
};

// The dictionary's tags as the block that carries Exif data in a file, for
// writers that put it in while they write: a little-endian TIFF structure
// whose first directory holds the {TIFF} tags and points to the Exif and GPS
// directories (a JPEG's APP1 segment after its "Exif\0\0"). The tags readers
// require are added as withMetadata adds them; those of JPEG files when
// `jpegSize` is given.
Result<FileData> exifBlock(const MetadataDictionary& metadata,
                           std::optional<ColorSpace> colorSpace = std::nullopt,
                           std::optional<PixelSize> jpegSize = std::nullopt);

// How the stored rows are to be shown, as Exif numbers them (1 as stored ... 8): the
// {TIFF} group's Orientation, else the dictionary's own, else 1; a value outside 1...8
// reads 1.
std::uint16_t pictureOrientation(const MetadataDictionary& metadata);

// The tags of the file as a metadata dictionary.
Result<MetadataDictionary> readMetadata(FileBytes file);

} // namespace qv::platform::imaging
