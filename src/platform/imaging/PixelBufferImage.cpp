#include "platform/imaging/PixelBufferImage.hpp"

#include <cstring>

namespace qv::platform::imaging {

Result<RgbaImage> imageFromPixelBuffer(const PixelBuffer& buffer) {
    const std::size_t width = buffer.width();
    const std::size_t height = buffer.height();
    switch (buffer.pixelFormat()) {
    case pixelformat::bgra32: {
        RgbaImage image(width, height, 8);
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* in = buffer.row<std::uint8_t>(y);
            std::uint8_t* out = image.row8(y).data();
            for (std::size_t x = 0; x < width; ++x, in += 4, out += 4) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
            }
        }
        return image;
    }
    case pixelformat::rgba64LE: {
        RgbaImage image(width, height, 16);
        for (std::size_t y = 0; y < height; ++y) {
            std::memcpy(image.row16(y).data(), buffer.row<std::uint16_t>(y),
                        image.samplesPerRow() * sizeof(std::uint16_t));
        }
        return image;
    }
    default:
        return Result<RgbaImage>::failure("pixel buffer " + buffer.description() +
                                          " is not a processed picture");
    }
}

} // namespace qv::platform::imaging
