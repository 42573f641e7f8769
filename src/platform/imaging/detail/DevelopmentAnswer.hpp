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

// What the program writes when asked for the mosaic (mosaicOption) instead: this header
// (its status and message as above), then width x height 16-bit samples of the visible
// area, rows from the top, each photosite's own black replaced by the common blackLevel.
struct MosaicAnswer {
    static constexpr std::uint32_t expectedMagic = 0x4D525651; // "QVRM"

    std::uint32_t magic = expectedMagic;
    std::int32_t status = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t messageBytes = 0;
    std::uint8_t pattern[4] = {0, 1, 1, 2}; // 2x2 colours: 0 red, 1 green, 2 blue
    std::uint32_t blackLevel = 0;
    std::uint32_t whiteLevel = 0;
    double asShotNeutral[3] = {1, 1, 1};
    double exposureTime = 0; // seconds; 0 when the file does not say
    double iso = 0;
};

// The option that asks the program for the mosaic: unpacked, not developed.
inline constexpr const char* mosaicOption = "--mosaic";

} // namespace qv::platform::imaging::detail
