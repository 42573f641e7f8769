#pragma once

#include <cstdint>

// Lens computations over the horizontal field of view in degrees, as a capture
// format reports it. Results that do not fit their integer type saturate
// (a zero field of view gives 0 seconds by the rule of 500).
namespace qv::QVPhotoMath {

// The 35 mm-equivalent focal length: 18 / tan(fov / 2), 18 mm being half the
// width of a 36 mm frame.
double focalLength35mm(float fieldOfView);

// The focal length of `fieldOfView` relative to that of `reference`, to the
// nearest half (2.74 gives 2.5, 2.76 gives 3.0).
float zoomFactor(float fieldOfView, float reference);

// The longest exposure in whole seconds before stars trail visibly:
// 500 / focal length / factor, truncated.
std::uint32_t maxExposureByRuleOf500(float fieldOfView, double factor);

// The longest exposure in whole seconds before the sky's rotation (1/240 degree
// per second) moves a star by `allowedPixels` on a frame `pixels` wide, divided
// by `divisor`; to the nearest second.
std::int64_t maxExposureBySkyRotation(float fieldOfView, std::int64_t pixels,
                                      std::int64_t allowedPixels, float divisor);

} // namespace qv::QVPhotoMath
