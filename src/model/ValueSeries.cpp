#include "model/ValueSeries.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>
#include <set>

namespace qv::QVPhotoMath {

using platform::saturatingCast;
using platform::saturatingRound;

namespace {

// [min, max] plus the entries of `table` strictly between them, ascending.
template <class Table>
std::vector<double> rangeWithStandardValues(double min, double max, const Table& table) {
    std::vector<double> values{min, max};
    for (const double v : table) {
        if (min < v && v < max) {
            values.push_back(v);
        }
    }
    std::sort(values.begin(), values.end());
    return values;
}

// The position of the first entry with the least distance to the target; a
// distance that is NaN never wins. 0 for an empty list.
template <class Values, class Distance>
std::size_t nearestIndex(const Values& values, Distance distance) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (distance(values[i]) < distance(values[best])) {
            best = i;
        }
    }
    return best;
}

} // namespace

const std::array<double, 68>& allShutterSpeeds() {
    static const std::array<double, 68> speeds = [] {
        std::array<double, 68> all{};
        std::size_t i = 0;
        for (const std::int64_t d : shutterSpeedDenominators) {
            all[i++] = 1.0 / static_cast<double>(d);
        }
        for (const double s : longShutterSpeeds) {
            all[i++] = s;
        }
        std::sort(all.begin(), all.end());
        return all;
    }();
    return speeds;
}

std::vector<std::int64_t> isoValues(float minISO, float maxISO) {
    std::vector<std::int64_t> values{saturatingCast<std::int64_t>(minISO),
                                     saturatingCast<std::int64_t>(maxISO)};
    const auto lo =
        saturatingRound<std::int64_t>(std::exp2(std::log2(static_cast<double>(minISO)) + 0.25));
    const auto hi =
        saturatingRound<std::int64_t>(std::exp2(std::log2(static_cast<double>(maxISO)) - 0.25));
    for (const std::int64_t v : standardISOs) {
        if (lo <= v && v <= hi) {
            values.push_back(v);
        }
    }
    std::sort(values.begin(), values.end());
    return values;
}

std::vector<double> shutterSpeeds(double min, double max) {
    return rangeWithStandardValues(min, max, allShutterSpeeds());
}

std::vector<double> longDurations(double min, double max) {
    return rangeWithStandardValues(min, max, allLongDurations);
}

std::vector<float> exposureBiasValues(float min, float max) {
    std::set<float> values{max};
    if (min < max && std::isfinite(min) && std::isfinite(max)) {
        constexpr float third = 1.0f / 3.0f;
        // Whole numbers are exact in a float only up to 2^24; the bound keeps
        // the loop finite for absurd ranges.
        for (float k = 0; k < 16777216.0f; ++k) {
            const float v = std::fma(k, third, min);
            if (!(v < max)) {
                break;
            }
            values.insert(v);
        }
    }
    return {values.begin(), values.end()};
}

float closestISO(float target, float minISO, float maxISO) {
    const std::vector<std::int64_t> values = isoValues(minISO, maxISO);
    const float logTarget = std::log2(target);
    const std::size_t i = nearestIndex(values, [logTarget](std::int64_t v) {
        return std::fabs(std::log2(static_cast<float>(v)) - logTarget);
    });
    return static_cast<float>(values[i]);
}

double closestShutterSpeed(double target, double min, double max) {
    const std::vector<double> values = shutterSpeeds(min, max);
    return values[closestShutterSpeedIndex(target, min, max)];
}

std::size_t isoIndex(float iso, float minISO, float maxISO) {
    const std::vector<std::int64_t> values = isoValues(minISO, maxISO);
    const auto found = std::find(values.begin(), values.end(), saturatingCast<std::int64_t>(iso));
    return found == values.end() ? 0 : static_cast<std::size_t>(found - values.begin());
}

std::size_t closestShutterSpeedIndex(double target, double min, double max) {
    const double logTarget = std::log2(target);
    return nearestIndex(shutterSpeeds(min, max),
                        [logTarget](double v) { return std::fabs(std::log2(v) - logTarget); });
}

std::size_t closestExposureBiasIndex(float target, float min, float max) {
    return nearestIndex(exposureBiasValues(min, max),
                        [target](float v) { return std::fabs(v - target); });
}

} // namespace qv::QVPhotoMath
