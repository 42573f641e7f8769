#pragma once

#include <string>

namespace qv::platform {

// A finite floating-point value as decimal digits, the building block of the float text
// and of the decimal formatter (internal to the formatting layer).
// value = (negative ? -1 : 1) * 0.<digits> * 10^pointPosition; digits carry no leading or
// trailing zeros, and zero has no digits at all.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int pointPosition = 0;

    bool isZero() const { return digits.empty(); }
    // The digits before the decimal point ("0" when there are none).
    std::string integerPart() const;
    // The digits after the decimal point, without trailing zeros ("" when there are none).
    std::string fractionPart() const;
    // Rounded to at most `fractionDigits` digits after the point, ties to even (the way
    // locale-aware number formatting rounds the shortest decimal text of a value).
    DecimalDigits roundedToFraction(int fractionDigits) const;
};

// The shortest digits that read back as the same value (std::to_chars). Finite values only.
DecimalDigits shortestDigits(double value);
DecimalDigits shortestDigits(float value);

} // namespace qv::platform
