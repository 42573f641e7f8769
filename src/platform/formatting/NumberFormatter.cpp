#include "platform/formatting/NumberFormatter.hpp"

#include "platform/formatting/DecimalDigits.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform {

namespace {

std::string grouped(const std::string& integerDigits, const std::string& separator) {
    std::string text;
    const std::size_t count = integerDigits.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0) {
            text += separator;
        }
        text += integerDigits[i];
    }
    return text;
}

} // namespace

std::string formatInteger(std::int64_t value, const NumberLocale& locale) {
    // The magnitude as unsigned so that INT64_MIN has one too.
    const std::uint64_t magnitude =
        value < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(value) : std::uint64_t(value);
    const std::string text = grouped(std::to_string(magnitude), locale.groupingSeparator);
    return value < 0 ? std::string("-").append(text) : text;
}

std::string DecimalFormatter::format(double value) const {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-∞" : "∞";
    }
    const int maxDigits = std::max(0, maximumFractionDigits);
    const int minDigits = std::clamp(minimumFractionDigits, 0, maxDigits);
    const DecimalDigits d = shortestDigits(value).roundedToFraction(maxDigits);
    std::string fraction = d.fractionPart();
    if (static_cast<int>(fraction.size()) < minDigits) {
        fraction.append(static_cast<std::size_t>(minDigits) - fraction.size(), '0');
    }
    std::string text = d.negative && !d.isZero() ? "-" : "";
    text += usesGrouping ? grouped(d.integerPart(), locale.groupingSeparator) : d.integerPart();
    if (!fraction.empty()) {
        text += locale.decimalSeparator;
        text += fraction;
    }
    return text;
}

} // namespace qv::platform
