#include "platform/compute/TextureFormat.hpp"

namespace qv::platform::compute {

std::size_t channelCount(TextureFormat format) {
    switch (format) {
    case TextureFormat::r16Uint:
    case TextureFormat::r32Uint:
        return 1;
    default:
        return 4;
    }
}

std::size_t bytesPerTexel(TextureFormat format) {
    switch (format) {
    case TextureFormat::r16Uint:
        return 2;
    case TextureFormat::r32Uint:
    case TextureFormat::rgba8Uint:
        return 4;
    case TextureFormat::rgba16Unorm:
    case TextureFormat::rgba16Float:
        return 8;
    case TextureFormat::rgba32Uint:
    case TextureFormat::rgba32Float:
        return 16;
    }
    return 0;
}

std::string_view formatName(TextureFormat format) {
    switch (format) {
    case TextureFormat::r16Uint:
        return "R16Uint";
    case TextureFormat::r32Uint:
        return "R32Uint";
    case TextureFormat::rgba8Uint:
        return "RGBA8Uint";
    case TextureFormat::rgba32Uint:
        return "RGBA32Uint";
    case TextureFormat::rgba16Unorm:
        return "RGBA16Unorm";
    case TextureFormat::rgba16Float:
        return "RGBA16Float";
    case TextureFormat::rgba32Float:
        return "RGBA32Float";
    }
    return "?";
}

bool fitsPixelFormat(TextureFormat format, FourCharCode pixelFormat) {
    switch (format) {
    case TextureFormat::r16Uint:
        return bayerPattern(pixelFormat).has_value();
    case TextureFormat::rgba8Uint:
        return pixelFormat == pixelformat::bgra32;
    case TextureFormat::rgba16Unorm:
        return pixelFormat == pixelformat::rgba64LE;
    default:
        return false;
    }
}

} // namespace qv::platform::compute
