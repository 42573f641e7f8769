#include "platform/photos/ImageManager.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/permissions/PermissionStatus.hpp"
#include "platform/photos/DisplayImage.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"
#include "platform/photos/detail/PictureFile.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

namespace qv::platform {

namespace {

bool turnsSideways(ImageOrientation orientation) {
    return static_cast<int>(orientation) >= 5;
}

// The scale of `image` for the target, measured as it is shown (turned by its orientation).
double scaleOf(const RgbaImage& image, ImageTargetSize target, ImageContentMode mode) {
    const auto width = static_cast<double>(image.width());
    const auto height = static_cast<double>(image.height());
    return turnsSideways(image.orientation) ? scaleFor(height, width, target, mode)
                                            : scaleFor(width, height, target, mode);
}

std::optional<RgbaImage> thumbnailOf(PhotoLibrary& library, const Asset& asset) {
    const std::vector<std::uint8_t> jpeg = library.thumbnailJpeg(asset);
    auto decoded = imaging::decodeJpeg(jpeg);
    if (jpeg.empty() || !decoded) {
        return std::nullopt;
    }
    decoded->orientation = asset.orientation;
    return std::move(*decoded);
}

imaging::Result<RgbaImage> fullImageOf(const Asset& asset) {
    const imaging::Result<imaging::FileData> bytes = detail::readPictureFile(asset.file);
    if (!bytes) {
        return imaging::Result<RgbaImage>::failure("Cannot read " + quotedPath(asset.file) + ": " +
                                                   bytes.error());
    }
    auto image = decodeForDisplay(*bytes);
    if (image) {
        image->orientation = asset.orientation;
    }
    return image;
}

} // namespace

double scaleFor(double width, double height, ImageTargetSize target, ImageContentMode mode) {
    const bool sized = std::isfinite(target.width) && std::isfinite(target.height) &&
                       target.width > 0 && target.height > 0;
    if (!sized || width <= 0 || height <= 0) {
        return 1; // no usable target: the picture as it is
    }
    const double across = target.width / width;
    const double down = target.height / height;
    return mode == ImageContentMode::aspectFit ? std::min(across, down) : std::max(across, down);
}

ImageManager& ImageManager::shared() {
    static ImageManager manager(PhotoLibrary::shared());
    return manager;
}

ImageManager::ImageManager(PhotoLibrary& library) : library_(library) {}

void ImageManager::requestImage(const Asset& asset, ImageTargetSize target, ImageContentMode mode,
                                ResultHandler handler) {
    auto deliver = [handler = std::make_shared<ResultHandler>(std::move(handler))](
                       std::optional<RgbaImage> image, ImageResultInfo info) {
        DispatchQueue::main().async([handler, image = std::move(image), info = std::move(info)] {
            (*handler)(image, info);
        });
    };
    tasks_.async([library = &library_, asset, target, mode, deliver] {
        if (ScopedPhotoLibraryFaults::current().failImageRequests) {
            deliver(std::nullopt, {false, "The image request failed"});
            return;
        }
        if (!isGranted(library->authorizationStatus())) {
            deliver(std::nullopt, {false, "Access to the photo library was not granted"});
            return;
        }
        const std::optional<RgbaImage> thumbnail = thumbnailOf(*library, asset);
        if (thumbnail) {
            // The thumbnail is enough when the picture, scaled for the target, is no larger.
            const double full = turnsSideways(asset.orientation)
                                    ? scaleFor(asset.pixelHeight, asset.pixelWidth, target, mode)
                                    : scaleFor(asset.pixelWidth, asset.pixelHeight, target, mode);
            const bool enough =
                std::max(asset.pixelWidth, asset.pixelHeight) * full <=
                static_cast<double>(std::max(thumbnail->width(), thumbnail->height())) + 0.5;
            deliver(scaledDown(*thumbnail, scaleOf(*thumbnail, target, mode)),
                    {!enough, std::nullopt});
            if (enough) {
                return;
            }
        }
        imaging::Result<RgbaImage> image = fullImageOf(asset);
        if (!image) {
            deliver(std::nullopt, {false, image.error()});
            return;
        }
        deliver(scaledDown(*image, scaleOf(*image, target, mode)), {false, std::nullopt});
    });
}

} // namespace qv::platform
