#include "platform/imaging/RawDevelopment.hpp"

#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/MemoryTiff.hpp"
#include "platform/imaging/detail/RawDeveloperProcess.hpp"

#include <tiffio.h>
#include <vector>

namespace qv::platform::imaging {

namespace {

// DNGs keep their full-size image in IFD0 or in one of its sub-IFDs; a file
// that lists more is not one to develop.
constexpr std::uint16_t maximumSubImages = 16;

// What libtiff can tell before LibRaw sees the file: a TIFF with a DNGVersion
// whose images (IFD0 and its sub-IFDs) each fit the reader limits and the
// file. When the file may go to the developer: how its picture is shown (the
// Orientation of IFD0, which the DNG's images share).
Result<ImageOrientation> checkedDng(FileBytes dng) {
    using R = Result<ImageOrientation>;
    auto file = detail::MemoryTiff::openForReading(dng);
    if (!file) {
        return R::failure("not a TIFF-based file");
    }
    TIFF* tif = file->get();
    std::uint8_t* version = nullptr;
    if (TIFFGetField(tif, TIFFTAG_DNGVERSION, &version) != 1 || version == nullptr) {
        return R::failure("the file has no DNGVersion");
    }
    if (auto problem = file->imageProblem()) {
        return R::failure(*problem);
    }
    const ImageOrientation orientation = file->orientation();
    std::uint16_t count = 0;
    std::uint64_t* listed = nullptr;
    if (TIFFGetField(tif, TIFFTAG_SUBIFD, &count, &listed) != 1 || listed == nullptr) {
        return orientation;
    }
    if (count > maximumSubImages) {
        return R::failure("the file lists " + std::to_string(count) + " sub-images");
    }
    // Reading another directory replaces the list libtiff gave.
    const std::vector<std::uint64_t> offsets(listed, listed + count);
    for (const std::uint64_t offset : offsets) {
        if (TIFFSetSubDirectory(tif, offset) != 1) {
            return R::failure("a sub-image cannot be read: " + file->lastError());
        }
        if (auto problem = file->imageProblem()) {
            return R::failure(*problem);
        }
    }
    return orientation;
}

} // namespace

Result<RgbaImage> developRaw(FileBytes dng, DevelopOptions options) {
    using R = Result<RgbaImage>;
    if (options.bitsPerChannel != 8 && options.bitsPerChannel != 16) {
        return R::failure("RAW development: 8 or 16 bits per channel");
    }
    const auto orientation = checkedDng(dng);
    if (!orientation) {
        return R::failure("RAW development: " + orientation.error());
    }
    const auto developed =
        detail::developInChildProcess(detail::rawDeveloperProgram(), dng, options.halfSize);
    if (!developed) {
        return R::failure("RAW development: " + developed.error());
    }
    RgbaImage image(developed->width, developed->height, options.bitsPerChannel,
                    options.colorSpace);
    detail::fromLinearProPhoto(developed->rgb.data(), image);
    // The developer keeps the rows as stored (LibRaw turns nothing): the tag shows them.
    image.orientation = *orientation;
    return image;
}

} // namespace qv::platform::imaging
