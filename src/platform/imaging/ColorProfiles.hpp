#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"

#include <optional>
#include <string>

namespace qv::platform::imaging {

// The ICC profile of a colour space as bytes to embed in a file: sRGB,
// Display P3 (P3 primaries, D65 white, the sRGB curve) or linear sRGB.
const FileData& iccProfile(ColorSpace space);

// The colour space an embedded profile describes: one of ours when its
// description says so, sRGB for any other or unreadable profile.
ColorSpace colorSpaceOfProfile(FileBytes icc);

// The profile's description text ("Display P3"), read through lcms2; nullopt
// when lcms2 cannot open the profile.
std::optional<std::string> profileDescription(FileBytes icc);

// Converts the image's pixels into another colour space (alpha kept). The
// image keeps its depth.
void convertColorSpace(RgbaImage& image, ColorSpace to);

// Converts rows of RGBA pixels (straight alpha, 8 or 16 bits per channel) from one
// colour space and depth into another, alpha copied, through an lcms2 transform made
// once. Use one object on one thread at a time.
class ColorConversion {
public:
    ColorConversion(ColorSpace from, int fromBits, ColorSpace to, int toBits);
    ~ColorConversion();
    ColorConversion(const ColorConversion&) = delete;
    ColorConversion& operator=(const ColorConversion&) = delete;

    // False when lcms2 could not make the transform; convert() then does nothing.
    bool isValid() const { return transform_ != nullptr; }
    // `pixels` pixels from `in` (fromBits samples) to `out` (toBits samples); in place
    // when the depths are equal.
    void convert(const void* in, void* out, std::size_t pixels) const;

private:
    void* transform_ = nullptr;
};

} // namespace qv::platform::imaging

namespace qv::platform::imaging::detail {

// Converts `pixels` pixels of packed 16-bit linear ProPhoto RGB (D50, the
// space raw development works in) into `out`'s colour space and depth, row
// after row from the top; alpha is set to opaque.
void fromLinearProPhoto(const std::uint16_t* rgb, RgbaImage& out);

} // namespace qv::platform::imaging::detail
