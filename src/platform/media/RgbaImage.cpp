#include "platform/media/RgbaImage.hpp"

namespace qv::platform {

bool swapsSides(ImageOrientation orientation) {
    return orientation == ImageOrientation::leftMirrored ||
           orientation == ImageOrientation::right ||
           orientation == ImageOrientation::rightMirrored || orientation == ImageOrientation::left;
}

RgbaImage::RgbaImage(std::size_t width, std::size_t height, int bitsPerChannel, ColorSpace space)
    : colorSpace(space) {
    if (width == 0 || height == 0 || (bitsPerChannel != 8 && bitsPerChannel != 16)) {
        return;
    }
    w = width;
    h = height;
    bits = bitsPerChannel;
    if (bits == 8) {
        samples8.assign(w * h * 4, 0);
    } else {
        samples16.assign(w * h * 4, 0);
    }
}

std::span<std::uint8_t> RgbaImage::row8(std::size_t y) {
    if (samples8.empty()) {
        return {};
    }
    return {samples8.data() + y * samplesPerRow(), samplesPerRow()};
}

std::span<const std::uint8_t> RgbaImage::row8(std::size_t y) const {
    if (samples8.empty()) {
        return {};
    }
    return {samples8.data() + y * samplesPerRow(), samplesPerRow()};
}

std::span<std::uint16_t> RgbaImage::row16(std::size_t y) {
    if (samples16.empty()) {
        return {};
    }
    return {samples16.data() + y * samplesPerRow(), samplesPerRow()};
}

std::span<const std::uint16_t> RgbaImage::row16(std::size_t y) const {
    if (samples16.empty()) {
        return {};
    }
    return {samples16.data() + y * samplesPerRow(), samplesPerRow()};
}

double RgbaImage::normalized(std::size_t x, std::size_t y, std::size_t channel) const {
    const std::size_t i = y * samplesPerRow() + x * 4 + channel;
    return bits == 8 ? samples8[i] / 255.0 : samples16[i] / 65535.0;
}

} // namespace qv::platform
