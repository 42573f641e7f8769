#pragma once

#include "platform/formatting/NumberLocale.hpp"

#include <cstdint>
#include <string>

namespace qv::platform {

// A whole number with the locale's grouping separators: 10000 -> "10,000" in English,
// "10.000" in German; negative numbers start with "-".
std::string formatInteger(std::int64_t value, const NumberLocale& locale = NumberLocale::current());

// Decimal numbers in a locale: grouped integer digits, the locale's decimal separator, and
// between minimumFractionDigits and maximumFractionDigits digits after it. Rounding works on
// the value's shortest decimal text, ties to even (2.675 with two digits -> "2.68",
// 0.125 -> "0.12"). A value that rounds to zero prints without a sign. Non-finite values
// print "NaN", "∞" and "-∞".
struct DecimalFormatter {
    int minimumFractionDigits = 0;
    int maximumFractionDigits = 3;
    bool usesGrouping = true;
    NumberLocale locale = NumberLocale::current();

    std::string format(double value) const;
};

} // namespace qv::platform
