#pragma once

#include <algorithm>

namespace qv::QVPhotoMath {

// A closed interval [lowerBound, upperBound] of comparable values.
template <class T>
struct ClosedRange {
    T lowerBound;
    T upperBound;

    bool contains(const T& value) const { return lowerBound <= value && value <= upperBound; }
    friend bool operator==(const ClosedRange&, const ClosedRange&) = default;
};

// The value limited to the range: min(upper, max(value, lower)). Unlike std::clamp it is
// defined for every range; an inverted range gives its upper bound.
template <class T>
T clamped(const T& value, const ClosedRange<T>& range) {
    return std::min(range.upperBound, std::max(value, range.lowerBound));
}

} // namespace qv::QVPhotoMath
