#include "platform/formatting/DecimalDigits.hpp"

#include <charconv>
#include <cstdlib>
#include <system_error>

namespace qv::platform {

namespace {

template <typename F>
DecimalDigits digitsOf(F value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    // "-1.2345e+02": sign, mantissa digits around one point, exponent.
    const std::string text(buffer, result.ptr);
    DecimalDigits d;
    std::size_t pos = 0;
    if (text[pos] == '-') {
        d.negative = true;
        ++pos;
    }
    const std::size_t e = text.find('e');
    for (; pos < e; ++pos) {
        if (text[pos] != '.') {
            d.digits += text[pos];
        }
    }
    d.pointPosition = std::atoi(text.c_str() + e + 1) + 1;
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    if (d.digits.empty()) {
        d.pointPosition = 0;
    }
    return d;
}

} // namespace

std::string DecimalDigits::integerPart() const {
    if (pointPosition <= 0) {
        return "0";
    }
    const auto point = static_cast<std::size_t>(pointPosition);
    if (point >= digits.size()) {
        return digits + std::string(point - digits.size(), '0');
    }
    return digits.substr(0, point);
}

std::string DecimalDigits::fractionPart() const {
    if (pointPosition < 0) {
        return std::string(static_cast<std::size_t>(-pointPosition), '0') + digits;
    }
    const auto point = static_cast<std::size_t>(pointPosition);
    return point >= digits.size() ? std::string() : digits.substr(point);
}

DecimalDigits DecimalDigits::roundedToFraction(int fractionDigits) const {
    const int keep = pointPosition + fractionDigits;
    if (isZero() || keep >= static_cast<int>(digits.size())) {
        return *this;
    }
    DecimalDigits r{negative, {}, pointPosition};
    if (keep < 0) {
        // Every kept place is a zero in front of the first digit: the value rounds to zero.
        return DecimalDigits{negative, {}, 0};
    }
    const auto k = static_cast<std::size_t>(keep);
    r.digits = digits.substr(0, k);
    const char dropped = digits[k];
    const bool restNonZero = digits.size() > k + 1; // digits carry no trailing zeros
    const bool lastOdd = k > 0 && (r.digits.back() - '0') % 2 == 1;
    const bool up = dropped > '5' || (dropped == '5' && (restNonZero || lastOdd));
    if (up) {
        std::size_t i = r.digits.size();
        while (i > 0 && r.digits[i - 1] == '9') {
            r.digits[--i] = '0';
        }
        if (i == 0) {
            r.digits.insert(r.digits.begin(), '1');
            ++r.pointPosition;
        } else {
            ++r.digits[i - 1];
        }
    }
    while (!r.digits.empty() && r.digits.back() == '0') {
        r.digits.pop_back();
    }
    if (r.digits.empty()) {
        r.pointPosition = 0;
    }
    return r;
}

DecimalDigits shortestDigits(double value) {
    return digitsOf(value);
}

DecimalDigits shortestDigits(float value) {
    return digitsOf(value);
}

} // namespace qv::platform
