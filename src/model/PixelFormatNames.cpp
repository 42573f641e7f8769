#include "model/PixelFormatNames.hpp"

#include <array>
#include <cstddef>

namespace qv {

namespace {

namespace pf = platform::pixelformat;

constexpr std::array<NamedPixelFormat, 55> table{{
    {"kCVPixelFormatType_1Monochrome", platform::fourCharCode("qf01")},
    {"kCVPixelFormatType_2Indexed", platform::fourCharCode("qf02")},
    {"kCVPixelFormatType_4Indexed", platform::fourCharCode("qf03")},
    {"kCVPixelFormatType_8Indexed", platform::fourCharCode("qf04")},
    {"kCVPixelFormatType_1IndexedGray_WhiteIsZero", platform::fourCharCode("qf05")},
    {"kCVPixelFormatType_2IndexedGray_WhiteIsZero", platform::fourCharCode("qf06")},
    {"kCVPixelFormatType_4IndexedGray_WhiteIsZero", platform::fourCharCode("qf07")},
    {"kCVPixelFormatType_8IndexedGray_WhiteIsZero", platform::fourCharCode("qf08")},
    {"kCVPixelFormatType_16BE555", platform::fourCharCode("qf09")},
    {"kCVPixelFormatType_16LE555", platform::fourCharCode("qf10")},
    {"kCVPixelFormatType_16LE5551", platform::fourCharCode("qf11")},
    {"kCVPixelFormatType_16BE565", platform::fourCharCode("qf12")},
    {"kCVPixelFormatType_16LE565", platform::fourCharCode("qf13")},
    {"kCVPixelFormatType_24RGB", platform::fourCharCode("qf14")},
    {"kCVPixelFormatType_24BGR", platform::fourCharCode("qf15")},
    {"kCVPixelFormatType_32ARGB", platform::fourCharCode("qf16")},
    {"kCVPixelFormatType_32BGRA", pf::bgra32},
    {"kCVPixelFormatType_32ABGR", platform::fourCharCode("qf17")},
    {"kCVPixelFormatType_32RGBA", platform::fourCharCode("qf18")},
    {"kCVPixelFormatType_64ARGB", platform::fourCharCode("qf19")},
    {"kCVPixelFormatType_64RGBALE", pf::rgba64LE},
    {"kCVPixelFormatType_48RGB", platform::fourCharCode("qf20")},
    {"kCVPixelFormatType_32AlphaGray", platform::fourCharCode("qf21")},
    {"kCVPixelFormatType_16Gray", platform::fourCharCode("qf22")},
    {"kCVPixelFormatType_30RGB", platform::fourCharCode("qf23")},
    {"kCVPixelFormatType_30RGBLEPackedWideGamut", platform::fourCharCode("qf24")},
    {"kCVPixelFormatType_422YpCbCr8", platform::fourCharCode("qf25")},
    {"kCVPixelFormatType_4444YpCbCrA8", platform::fourCharCode("qf26")},
    {"kCVPixelFormatType_4444YpCbCrA8R", platform::fourCharCode("qf27")},
    {"kCVPixelFormatType_4444AYpCbCr8", platform::fourCharCode("qf28")},
    {"kCVPixelFormatType_4444AYpCbCr16", platform::fourCharCode("qf29")},
    {"kCVPixelFormatType_444YpCbCr8", platform::fourCharCode("qf30")},
    {"kCVPixelFormatType_422YpCbCr16", platform::fourCharCode("qf31")},
    {"kCVPixelFormatType_422YpCbCr10", platform::fourCharCode("qf32")},
    {"kCVPixelFormatType_444YpCbCr10", platform::fourCharCode("qf33")},
    {"kCVPixelFormatType_420YpCbCr8Planar", platform::fourCharCode("qf34")},
    {"kCVPixelFormatType_420YpCbCr8PlanarFullRange", platform::fourCharCode("qf35")},
    {"kCVPixelFormatType_422YpCbCr_4A_8BiPlanar", platform::fourCharCode("qf36")},
    {"kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange", platform::fourCharCode("qf37")},
    {"kCVPixelFormatType_420YpCbCr8BiPlanarFullRange", platform::fourCharCode("qf38")},
    {"kCVPixelFormatType_422YpCbCr8_yuvs", platform::fourCharCode("qf39")},
    {"kCVPixelFormatType_422YpCbCr8FullRange", platform::fourCharCode("qf40")},
    {"kCVPixelFormatType_OneComponent8", platform::fourCharCode("qf41")},
    {"kCVPixelFormatType_TwoComponent8", platform::fourCharCode("qf42")},
    {"kCVPixelFormatType_OneComponent16Half", platform::fourCharCode("qf43")},
    {"kCVPixelFormatType_OneComponent32Float", platform::fourCharCode("qf44")},
    {"kCVPixelFormatType_TwoComponent16Half", platform::fourCharCode("qf45")},
    {"kCVPixelFormatType_TwoComponent32Float", platform::fourCharCode("qf46")},
    {"kCVPixelFormatType_64RGBAHalf", platform::fourCharCode("qf47")},
    {"kCVPixelFormatType_128RGBAFloat", platform::fourCharCode("qf48")},
    {"kCVPixelFormatType_14Bayer_GRBG", pf::bayer14GRBG},
    {"kCVPixelFormatType_14Bayer_RGGB", pf::bayer14RGGB},
    {"kCVPixelFormatType_14Bayer_BGGR", pf::bayer14BGGR},
    {"kCVPixelFormatType_14Bayer_GBRG", pf::bayer14GBRG},
    {"kCVPixelFormatType_16VersatileBayer", platform::fourCharCode("qf49")},
}};

// The last entry is known only to the buffer form.
constexpr std::size_t namesKnownToBareCodes = table.size() - 1;

std::string nameIn(platform::FourCharCode format, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (table[i].code == format) {
            return std::string(table[i].name);
        }
    }
    return "UNKNOWN";
}

} // namespace

std::span<const NamedPixelFormat> namedPixelFormats() {
    return table;
}

std::string pixelFormatName(platform::FourCharCode format) {
    return nameIn(format, namesKnownToBareCodes);
}

std::string pixelFormatName(const platform::PixelBuffer& buffer) {
    return nameIn(buffer.pixelFormat(), table.size());
}

} // namespace qv
