#include "camera/LibraryFileConversion.hpp"

#include "platform/console/Console.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <utility>

namespace qv {

namespace imaging = platform::imaging;
namespace key = platform::metadata;

using imaging::FileData;
using imaging::FileKind;
using imaging::Result;

namespace {

constexpr int rawJpegQuality = 90;
constexpr int processedJpegQuality = 80;

// The tags a re-encoded picture keeps: the result's Exif, TIFF and GPS groups.
platform::MetadataDictionary carriedTags(const FileData& source) {
    platform::MetadataDictionary carried;
    const auto tags = imaging::readMetadata(source);
    if (!tags) {
        platform::print("No metadata carried over:", tags.error());
        return carried;
    }
    for (const char* group : {key::exifGroup, key::tiffGroup, key::gpsGroup}) {
        if (const platform::MetadataDictionary* found = tags->dictionary(group)) {
            carried.set(group, *found);
        }
    }
    return carried;
}

Result<LibraryFile> stored(Result<FileData> encoded, const char* extension) {
    if (!encoded) {
        return Result<LibraryFile>::failure(encoded.error());
    }
    return LibraryFile{std::move(*encoded), extension};
}

Result<LibraryFile> rawToJPEG(const FileData& dng) {
    auto image = imaging::developRaw(
        dng, {.colorSpace = platform::ColorSpace::displayP3, .bitsPerChannel = 8});
    if (!image) {
        platform::print("Color Noise", "No filter");
        return Result<LibraryFile>::failure(image.error());
    }
    platform::print("Color Noise", "RAW development into Display P3");
    return stored(imaging::encodeJpeg(*image, rawJpegQuality, carriedTags(dng)), "JPG");
}

Result<LibraryFile> rawToTIFF(const FileData& dng) {
    auto image =
        imaging::developRaw(dng, {.colorSpace = platform::ColorSpace::sRGB, .bitsPerChannel = 16});
    if (!image) {
        return Result<LibraryFile>::failure(image.error());
    }
    return stored(imaging::encodeTiff(*image, carriedTags(dng), {.keepAlpha = false}), "TIF");
}

Result<LibraryFile> processedToJPEG(const FileData& tiff) {
    auto image = imaging::decodeTiff(tiff);
    if (!image) {
        return Result<LibraryFile>::failure(image.error());
    }
    return stored(imaging::encodeJpeg(*image, processedJpegQuality, carriedTags(tiff)), "JPG");
}

} // namespace

Result<LibraryFile> libraryFile(FileData result, SupportedImageFormat format) {
    const FileKind kind = imaging::fileKind(result);
    if (kind != FileKind::dng && kind != FileKind::tiff) {
        return Result<LibraryFile>::failure("not a DNG or TIFF result");
    }
    const bool isRAW = kind == FileKind::dng;
    switch (format) {
    case SupportedImageFormat::RAW:
        return LibraryFile{std::move(result), isRAW ? "DNG" : "TIF"};
    case SupportedImageFormat::JPEG:
        return isRAW ? rawToJPEG(result) : processedToJPEG(result);
    case SupportedImageFormat::TIFF:
        if (isRAW) {
            return rawToTIFF(result);
        }
        return LibraryFile{std::move(result), "TIF"};
    }
    return Result<LibraryFile>::failure("unknown format");
}

} // namespace qv
