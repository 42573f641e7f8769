#pragma once

#include <string>

namespace qv::platform {

// The text a floating-point value prints as in console output and in descriptions:
// the shortest digits that read back as the same value, with ".0" kept on whole numbers.
//   2.0 -> "2.0", 0.84 -> "0.84", 3200.0 -> "3200.0", -0.5 -> "-0.5", -0.0 -> "-0.0"
// Magnitudes from 1e-4 up to 2^53 (2^24 for float) are written in plain decimal; others in
// exponent form with a signed exponent of at least two digits ("1e-05", "1.5e+16").
// Non-finite values give "inf", "-inf" and "nan".
// The float overload prints the float's own shortest digits: 0.1f -> "0.1".
std::string floatText(double value);
std::string floatText(float value);

} // namespace qv::platform
