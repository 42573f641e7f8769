#include "model/ImageRoutines.hpp"

#include "platform/imaging/PixelBufferImage.hpp"
#include "platform/imaging/RawDevelopment.hpp"

namespace qv {

std::optional<platform::RgbaImage> cgImage(const std::shared_ptr<platform::PixelBuffer>& buffer) {
    if (!buffer) {
        return std::nullopt;
    }
    buffer->lock(true);
    auto image = platform::imaging::imageFromPixelBuffer(*buffer);
    buffer->unlock(true);
    if (!image) {
        return std::nullopt;
    }
    return std::move(*image);
}

platform::RgbaImage autoAdjusted(const platform::RgbaImage& image) {
    return autoAdjusted(image, platform::imaging::autoAdjustmentFilters(image));
}

platform::RgbaImage autoAdjusted(const platform::RgbaImage& image,
                                 const std::vector<platform::imaging::ImageFilter>& filters) {
    platform::RgbaImage current = image;
    for (const auto& filter : filters) {
        if (auto output = filter.apply(current)) {
            current = std::move(*output);
        }
    }
    return current;
}

std::optional<platform::RgbaImage> neutralRAWImage(platform::imaging::FileBytes data) {
    auto developed = platform::imaging::developRaw(
        data,
        {.colorSpace = platform::ColorSpace::linearSRGB, .bitsPerChannel = 16, .halfSize = false});
    if (!developed) {
        return std::nullopt;
    }
    return std::move(*developed);
}

} // namespace qv
