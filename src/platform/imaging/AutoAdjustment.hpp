#pragma once

#include "platform/media/RgbaImage.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::imaging {

// One step of an image adjustment: the adjusted image, or nothing when the
// step has nothing to give for this input.
struct ImageFilter {
    std::string name;
    std::function<std::optional<RgbaImage>(const RgbaImage&)> apply;
};

// The adjustments that analysis of `image` suggests, in the order to apply
// them. There is one: "levels", which stretches the luminance so that the
// darkest 0.1% of pixels reach black and the brightest 0.1% reach white,
// with the same gain and offset on every colour channel (hue is kept). It is
// suggested only when the image does not already span its range; a flat
// image gets no suggestion.
std::vector<ImageFilter> autoAdjustmentFilters(const RgbaImage& image);

} // namespace qv::platform::imaging
