#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The value lists the user picks ISO, shutter speed, duration and exposure bias
// from, built from fixed standard series and a device's limits, and the pickers
// that find the nearest list entry. Every list is sorted ascending and holds the
// device's own limits as its ends. ISO and shutter speed are compared in stops
// (|log2 a - log2 b|), bias linearly; on a tie the smaller value wins.
namespace qv::QVPhotoMath {

// ISO in thirds of a stop, 25 to 204800.
inline constexpr std::array<std::int64_t, 40> standardISOs{
    25,    32,    40,    50,    64,    80,    100,    125,    160,    200,
    250,   320,   400,   500,   640,   800,   1000,   1250,   1600,   2000,
    2500,  3200,  4000,  5000,  6400,  8000,  10000,  12800,  16000,  20000,
    25600, 32000, 40000, 51200, 64000, 80000, 102400, 128000, 160000, 204800};

// Shutter speeds 1/d s in thirds of a stop, 1/3 s to 1/160000 s.
inline constexpr std::array<std::int64_t, 48> shutterSpeedDenominators{
    3,     4,     5,     6,     8,     10,    13,    15,    20,    25,     30,     40,
    50,    60,    80,    100,   125,   160,   200,   250,   320,   400,    500,    640,
    800,   1000,  1250,  1600,  2000,  2500,  3200,  4000,  5000,  6400,   8000,   10000,
    12800, 16000, 20000, 25600, 32000, 40000, 51200, 64000, 80000, 102400, 128000, 160000};

// Shutter speeds from 30 s down to 0.4 s, in seconds, descending.
inline constexpr std::array<double, 20> longShutterSpeeds{
    30, 25, 20, 15, 13, 10, 8, 6, 5, 4, 3.2, 2.5, 2, 1.6, 1.3, 1, 0.8, 0.6, 0.5, 0.4};

// Every whole second from 1 to 30, then 60, 120 and 240.
inline constexpr std::array<double, 33> allLongDurations = [] {
    std::array<double, 33> durations{};
    for (std::size_t i = 0; i < 30; ++i) {
        durations[i] = static_cast<double>(i + 1);
    }
    durations[30] = 60;
    durations[31] = 120;
    durations[32] = 240;
    return durations;
}();

// 1/d for every standard denominator and every long shutter speed, ascending:
// 1/160000 s to 30 s.
const std::array<double, 68>& allShutterSpeeds();

// [min, max] truncated to whole numbers, plus every standard ISO at least a quarter stop
// inside the unrounded limits (bounds rounded to whole ISO). Duplicates are kept.
std::vector<std::int64_t> isoValues(float minISO, float maxISO);
// [min, max] plus every standard shutter speed strictly between them.
std::vector<double> shutterSpeeds(double min, double max);
// [min, max] plus every standard long duration strictly between them.
std::vector<double> longDurations(double min, double max);
// min, min + 1/3, min + 2/3, ... below max (each step computed from min with one single
// precision rounding), then max; no duplicates. [max] when min >= max. The entries are
// not exact thirds: for -8 ... 8 the one nearest 0 is about 2.4e-7. Limits that
// are not finite give [max].
std::vector<float> exposureBiasValues(float min, float max);

// The entry of isoValues(minISO, maxISO) nearest to the target in stops.
float closestISO(float target, float minISO, float maxISO);
// The entry of shutterSpeeds(min, max) nearest to the target in stops.
double closestShutterSpeed(double target, double min, double max);
// The position in isoValues(minISO, maxISO) of the first entry equal to the ISO
// truncated to a whole number; 0 when there is none.
std::size_t isoIndex(float iso, float minISO, float maxISO);
// The position of closestShutterSpeed(target, min, max).
std::size_t closestShutterSpeedIndex(double target, double min, double max);
// The position in exposureBiasValues(min, max) of the entry nearest to the target.
std::size_t closestExposureBiasIndex(float target, float min, float max);

} // namespace qv::QVPhotoMath
