#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <memory>

namespace qv::platform::imaging {

// DNG files of our two raw kinds, uncompressed, the image in the first IFD:
//  - a 14-bit Bayer pixel buffer ('qRGG', 'qGRB', 'qBGG', 'qGBR') becomes a
//    16-bit CFA image with CFARepeatPatternDim 2x2 and its CFAPattern;
//  - a 64-bit RGBA buffer ('l64r') becomes a 16-bit LinearRaw RGB image
//    (alpha dropped) whose colour matrix is that of linear sRGB.
// The {DNG} group of the metadata gives BlackLevel (default 0), WhiteLevel
// (default 16383 for Bayer, 65535 for LinearRaw), AsShotNeutral (default
// 1, 1, 1), UniqueCameraModel, ColorMatrix1 (nine numbers, XYZ to camera)
// and CalibrationIlluminant1 (default 21, D65); a Bayer file without a matrix
// gets the one of our simulated sensor. The {Exif}, {TIFF} and {GPS} groups
// are written as ExifMetadata.hpp describes.
Result<FileData> encodeDng(const PixelBuffer& buffer, const MetadataDictionary& metadata);

struct RawImage {
    std::shared_ptr<PixelBuffer> pixelBuffer; // Bayer format, or 'l64r' with opaque alpha
    MetadataDictionary metadata;
};

// Reads a DNG this layer wrote (or any uncompressed 16-bit CFA 2x2 or
// LinearRaw RGB DNG): the samples exactly as stored, and the metadata.
Result<RawImage> decodeDng(FileBytes file);

// The colour matrix (XYZ to camera, D65) of the sensor our camera simulates.
const std::array<double, 9>& simulatedSensorColorMatrix();

} // namespace qv::platform::imaging
