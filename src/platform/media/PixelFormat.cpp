#include "platform/media/PixelFormat.hpp"

namespace qv::platform {

std::string fourCharCodeText(FourCharCode code) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>((code >> (24 - 8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F) {
            text[static_cast<std::size_t>(i)] = static_cast<char>(c);
        }
    }
    return text;
}

std::optional<std::array<CfaColor, 4>> bayerPattern(FourCharCode format) {
    using enum CfaColor;
    switch (format) {
    case pixelformat::bayer14RGGB:
        return std::array{red, green, green, blue};
    case pixelformat::bayer14GRBG:
        return std::array{green, red, blue, green};
    case pixelformat::bayer14BGGR:
        return std::array{blue, green, green, red};
    case pixelformat::bayer14GBRG:
        return std::array{green, blue, red, green};
    default:
        return std::nullopt;
    }
}

std::size_t bytesPerPixel(FourCharCode format) {
    if (bayerPattern(format)) {
        return 2;
    }
    switch (format) {
    case pixelformat::bgra32:
        return 4;
    case pixelformat::rgba64LE:
        return 8;
    default:
        return 0;
    }
}

} // namespace qv::platform
