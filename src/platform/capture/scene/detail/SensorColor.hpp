#pragma once

#include <array>

namespace qv::platform::detail {

using Matrix3 = std::array<double, 9>; // row-major
using Rgb = std::array<double, 3>;

Rgb multiply(const Matrix3& m, const Rgb& v);

// Linear sRGB (D65) to the simulated sensor's camera RGB, scaled so that a D65 grey of
// linear value 1 gives 1 in green: the sensor matrix of imaging::simulatedSensorColorMatrix()
// after the sRGB-to-XYZ matrix.
const Matrix3& srgbToCamera();

// White-balanced camera RGB (a grey reads the same in all three) to linear sRGB: the inverse
// of srgbToCamera() with its rows scaled to sum to 1, so a grey stays grey.
const Matrix3& balancedCameraToSrgb();

} // namespace qv::platform::detail
