#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::platform {

// A pixel format as a four-character code, first character in the top byte.
using FourCharCode = std::uint32_t;

constexpr FourCharCode fourCharCode(const char (&s)[5]) {
    return (FourCharCode(std::uint8_t(s[0])) << 24) | (FourCharCode(std::uint8_t(s[1])) << 16) |
           (FourCharCode(std::uint8_t(s[2])) << 8) | FourCharCode(std::uint8_t(s[3]));
}

// "BGRA" for the code of "BGRA"; characters outside printable ASCII as '?'.
std::string fourCharCodeText(FourCharCode code);

// The pixel formats our camera delivers and our mergers read.
namespace pixelformat {
// 14-bit Bayer mosaics, one 16-bit little-endian sample per photosite, named
// by their 2x2 colour pattern read row by row.
inline constexpr FourCharCode bayer14RGGB = fourCharCode("qRGG");
inline constexpr FourCharCode bayer14GRBG = fourCharCode("qGRB");
inline constexpr FourCharCode bayer14BGGR = fourCharCode("qBGG");
inline constexpr FourCharCode bayer14GBRG = fourCharCode("qGBR");
// Processed colour: 8-bit B, G, R, A per pixel.
inline constexpr FourCharCode bgra32 = fourCharCode("BGRA");
// Processed wide colour: 16-bit little-endian R, G, B, A per pixel.
inline constexpr FourCharCode rgba64LE = fourCharCode("l64r");
} // namespace pixelformat

enum class CfaColor : std::uint8_t { red = 0, green = 1, blue = 2 };

// The 2x2 colour pattern of a Bayer format: top-left, top-right,
// bottom-left, bottom-right. nullopt for formats that are not Bayer.
std::optional<std::array<CfaColor, 4>> bayerPattern(FourCharCode format);

// Bytes one pixel takes in plane 0; 0 for formats this layer does not know.
std::size_t bytesPerPixel(FourCharCode format);

} // namespace qv::platform
