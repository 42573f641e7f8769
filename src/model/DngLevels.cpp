#include "model/DngLevels.hpp"

#include "platform/media/MetadataKeys.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace qv {

namespace key = platform::metadata;

namespace {

constexpr double uint32Max = std::numeric_limits<std::uint32_t>::max();

const platform::MetadataValue* dngValue(const platform::MetadataDictionary& metadata,
                                        const char* name) {
    const platform::MetadataDictionary* dng = metadata.dictionary(key::dngGroup);
    return dng ? dng->find(name) : nullptr;
}

// A level: a number, or the first entry of a list of numbers, that fits 32 bits.
std::optional<std::uint32_t> level(const platform::MetadataDictionary& metadata, const char* name) {
    const platform::MetadataValue* value = dngValue(metadata, name);
    if (!value) {
        return std::nullopt;
    }
    std::optional<double> number = value->number();
    if (const platform::MetadataList* list = value->list(); list && !list->empty()) {
        number = list->front().number();
    }
    if (!number || !(*number >= 0 && *number <= uint32Max)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*number);
}

// The neutral when every entry is finite and positive; nullopt otherwise.
std::optional<std::vector<double>> usableNeutral(const platform::MetadataDictionary& metadata) {
    std::vector<double> neutral = dngAsShotNeutral(metadata);
    const bool usable = std::all_of(neutral.begin(), neutral.end(),
                                    [](double n) { return std::isfinite(n) && n > 0; });
    if (!usable || neutral.empty()) {
        return std::nullopt;
    }
    return neutral;
}

} // namespace

std::uint32_t dngBlackLevel(const platform::MetadataDictionary& metadata) {
    return level(metadata, key::dngBlackLevel).value_or(0);
}

std::uint32_t dngWhiteLevel(const platform::MetadataDictionary& metadata) {
    return level(metadata, key::dngWhiteLevel).value_or(16383);
}

std::vector<double> dngAsShotNeutral(const platform::MetadataDictionary& metadata) {
    const platform::MetadataValue* value = dngValue(metadata, key::dngAsShotNeutral);
    std::optional<std::vector<double>> numbers = value ? value->numbers() : std::nullopt;
    return numbers ? *numbers : std::vector<double>{1.0, 1.0, 1.0};
}

std::vector<std::uint32_t> blackClippingPoints(const platform::MetadataDictionary& metadata) {
    const std::optional<std::vector<double>> neutral = usableNeutral(metadata);
    if (!neutral) {
        return {};
    }
    const double smallest = *std::min_element(neutral->begin(), neutral->end());
    const double black = dngBlackLevel(metadata);
    std::vector<std::uint32_t> points;
    for (const double n : *neutral) {
        const double point = black + 4 * (std::ceil(n / smallest) - 1);
        if (!(point <= uint32Max)) {
            return {};
        }
        points.push_back(static_cast<std::uint32_t>(point));
    }
    return points;
}

std::vector<std::uint32_t> whiteClippingPoints(const platform::MetadataDictionary& metadata) {
    const std::uint32_t lo = dngBlackLevel(metadata) / 4;
    const std::uint32_t hi = dngWhiteLevel(metadata) / 4;
    const std::optional<std::vector<double>> neutral = usableNeutral(metadata);
    if (hi < lo || !neutral) {
        return {};
    }
    std::vector<std::uint32_t> points;
    for (const double n : *neutral) {
        const double p = std::floor(n * static_cast<double>(hi - lo)) + lo;
        if (!(4 * p <= uint32Max)) {
            return {};
        }
        points.push_back(4 * static_cast<std::uint32_t>(p));
    }
    return points;
}

} // namespace qv
