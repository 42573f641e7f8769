#pragma once

#include <cstdint>

namespace qv::platform::imaging::detail {

// What the RAW developer program writes to its standard output, in the
// machine's own byte order: this header, then either the developed picture
// (width x height pixels of 16-bit linear ProPhoto RGB, rows from the top) when
// status is 0, or messageBytes of LibRaw's error text.
struct DevelopmentAnswer {
    static constexpr std::uint32_t expectedMagic = 0x44525651; // "QVRD"

    std::uint32_t magic = expectedMagic;
    std::int32_t status = 0; // 0, or LibRaw's error code
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t messageBytes = 0;
};

// The option that asks the program for a half-size picture.
inline constexpr const char* halfSizeOption = "--half-size";

} // namespace qv::platform::imaging::detail
