#pragma once

#include <cstdint>

namespace qv::platform::imaging {

struct Rational {
    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
    double value() const { return double(numerator) / double(denominator); }
    friend bool operator==(const Rational&, const Rational&) = default;
};

// The simplest fraction within a relative 1e-9 of value whose denominator does
// not exceed maxDenominator, so values that are meant as fractions come out
// exact: 0.008 gives 1/125, 20 gives 20/1, 1/3 gives 1/3. Non-finite values
// give 0/1; magnitudes beyond 32 bits are clamped.
Rational toRational(double value, std::int64_t maxDenominator = 1000000);

} // namespace qv::platform::imaging
