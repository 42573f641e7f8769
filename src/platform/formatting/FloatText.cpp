#include "platform/formatting/FloatText.hpp"

#include "platform/formatting/DecimalDigits.hpp"

#include <cmath>

namespace qv::platform {

namespace {

std::string exponentForm(const DecimalDigits& d) {
    std::string text = d.negative ? "-" : "";
    text += d.digits[0];
    if (d.digits.size() > 1) {
        text += '.';
        text.append(d.digits, 1);
    }
    const int exponent = d.pointPosition - 1;
    text += exponent < 0 ? "e-" : "e+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) {
        text += '0';
    }
    text += std::to_string(magnitude);
    return text;
}

template <typename F>
std::string floatTextOf(F value, F plainLimit) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    const DecimalDigits d = shortestDigits(value);
    const F magnitude = std::fabs(value);
    if (magnitude != 0 && (magnitude < F(1e-4) || magnitude >= plainLimit)) {
        return exponentForm(d);
    }
    std::string text = d.negative ? "-" : "";
    text += d.integerPart();
    text += '.';
    const std::string fraction = d.fractionPart();
    text += fraction.empty() ? "0" : fraction;
    return text;
}

} // namespace

std::string floatText(double value) {
    return floatTextOf(value, 9007199254740992.0);
}

std::string floatText(float value) {
    return floatTextOf(value, 16777216.0f);
}

} // namespace qv::platform
