#include "platform/photos/DisplayImage.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/RawDevelopment.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::platform {

namespace {

RgbaImage toEightBits(const RgbaImage& image) {
    if (image.bitsPerChannel() == 8) {
        return image;
    }
    RgbaImage eight(image.width(), image.height(), 8, image.colorSpace);
    eight.orientation = image.orientation;
    for (std::size_t y = 0; y < image.height(); ++y) {
        const auto from = image.row16(y);
        const auto to = eight.row8(y);
        for (std::size_t i = 0; i < from.size(); ++i) {
            to[i] = static_cast<std::uint8_t>((from[i] * 255u + 32767u) / 65535u);
        }
    }
    return eight;
}

} // namespace

imaging::Result<RgbaImage> decodeForDisplay(imaging::FileBytes file) {
    imaging::DevelopOptions options;
    options.bitsPerChannel = 8;
    options.halfSize = true;
    imaging::Result<RgbaImage> image = imaging::decodeImage(file, options);
    if (!image) {
        return image;
    }
    return toEightBits(*image);
}

RgbaImage scaledDown(const RgbaImage& image, double factor) {
    const RgbaImage source = toEightBits(image);
    if (!(factor < 1.0) || source.empty()) {
        return source;
    }
    const std::size_t width =
        std::max<std::size_t>(1, saturatingRound<std::size_t>(source.width() * factor));
    const std::size_t height =
        std::max<std::size_t>(1, saturatingRound<std::size_t>(source.height() * factor));
    RgbaImage scaled(width, height, 8, source.colorSpace);
    scaled.orientation = source.orientation;
    std::vector<std::uint32_t> sums(width * 4);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t y0 = y * source.height() / height;
        const std::size_t y1 = std::max(y0 + 1, (y + 1) * source.height() / height);
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t x0 = x * source.width() / width;
            const std::size_t x1 = std::max(x0 + 1, (x + 1) * source.width() / width);
            for (std::size_t sy = y0; sy < y1; ++sy) {
                const auto row = source.row8(sy);
                for (std::size_t sx = x0; sx < x1; ++sx) {
                    for (std::size_t c = 0; c < 4; ++c) {
                        sums[x * 4 + c] += row[sx * 4 + c];
                    }
                }
            }
            const std::size_t count = (y1 - y0) * (x1 - x0);
            const auto out = scaled.row8(y);
            for (std::size_t c = 0; c < 4; ++c) {
                out[x * 4 + c] = static_cast<std::uint8_t>((sums[x * 4 + c] + count / 2) / count);
            }
        }
    }
    return scaled;
}

} // namespace qv::platform
