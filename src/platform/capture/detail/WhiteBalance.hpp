#pragma once

#include "platform/capture/CaptureTypes.hpp"

#include <array>

namespace qv::platform::detail {

// The camera RGB response (linear, not normalised) of our simulated sensor to a white lit at
// the temperature and tint: the Planckian chromaticity (Kim et al.'s cubic fit, 1667 K to
// 25000 K, clamped to it), shifted along green by the tint, through the sensor's colour
// matrix.
std::array<double, 3> sensorResponseToWhite(WhiteBalanceTemperatureAndTint values);

// The gains that make that white grey, the smallest of them 1.
WhiteBalanceGains whiteBalanceGainsFor(WhiteBalanceTemperatureAndTint values);

} // namespace qv::platform::detail
