#include "model/PhotoFormatting.hpp"

#include "model/ValueSeries.hpp"
#include "platform/formatting/NumberFormatter.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <array>
#include <cmath>

namespace qv::QVPhotoMath {

using platform::saturatingCast;
using platform::saturatingRound;

namespace {

constexpr std::string_view noValue = "–";

// The whole part of x, taking a value within a relative 1e-6 below the next
// whole number as that number.
std::int64_t wholePartWithTolerance(double x) {
    const double up = std::ceil(x);
    if (up - x <= 1e-6 * x) {
        return saturatingCast<std::int64_t>(up);
    }
    return saturatingCast<std::int64_t>(x);
}

std::string mapDigits(std::string_view text, const std::array<std::string_view, 10>& forms) {
    std::string result;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            result += forms[static_cast<std::size_t>(c - '0')];
        }
    }
    return result;
}

constexpr std::array<std::string_view, 10> superscriptDigits{"⁰", "¹", "²", "³", "⁴",
                                                             "⁵", "⁶", "⁷", "⁸", "⁹"};
constexpr std::array<std::string_view, 10> subscriptDigits{"₀", "₁", "₂", "₃", "₄",
                                                           "₅", "₆", "₇", "₈", "₉"};

} // namespace

std::string formattedShutterSpeed(double seconds, bool abbreviated) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        return std::string(noValue);
    }
    if (seconds > 0.34) {
        const double tenths = std::round(seconds * 10.0) / 10.0;
        return platform::DecimalFormatter{}.format(tenths) + "s";
    }
    const double reciprocal = 1.0 / seconds;
    const std::int64_t denominator = wholePartWithTolerance(reciprocal);
    std::string text = superscripted("1") + "/";
    if (abbreviated && denominator >= 10000) {
        return text + std::to_string(saturatingRound<std::int64_t>(reciprocal / 1000.0)) + "k";
    }
    return text + std::to_string(denominator);
}

std::string formattedShutterSpeed(const platform::MediaTime& time, bool abbreviated) {
    // Storing 1/102400 s at the preferred timescale moves its reciprocal by
    // more than one whole number; a standard speed that stores as exactly this
    // time is the one that was meant. At a coarse timescale several standard
    // speeds store as the same tick (1/250 s and 1/125 s both as 1 at 125), so
    // a standard speed must also lie within a relative 0.1 % of the time: far
    // above the rounding at the preferred timescale, far below the 15 % that
    // separates neighbouring standard speeds.
    constexpr double tolerance = 1e-3;
    if (time.isValid()) {
        const double seconds = time.seconds();
        for (const double standard : allShutterSpeeds()) {
            if (std::fabs(standard - seconds) <= tolerance * standard &&
                platform::MediaTime::fromSeconds(standard, time.timescale) == time) {
                return formattedShutterSpeed(standard, abbreviated);
            }
        }
    }
    return formattedShutterSpeed(time.seconds(), abbreviated);
}

std::string formattedEV(double ev) {
    if (!std::isfinite(ev)) {
        return std::string(noValue);
    }
    const double a = std::fabs(ev);
    const std::int64_t whole = saturatingCast<std::int64_t>(a);
    const std::int64_t thirds = saturatingRound<std::int64_t>((a - static_cast<double>(whole)) * 3);
    std::string body;
    if (thirds == 3) {
        body = platform::formatInteger(saturatingRound<std::int64_t>(a));
    } else if (thirds == 1 || thirds == 2) {
        if (whole != 0) {
            body = platform::formatInteger(whole);
        }
        body += superscripted(thirds) + "/" + subscripted(3);
    } else {
        body = platform::formatInteger(whole);
        if (saturatingRound<std::int64_t>(a) < 1) {
            return body;
        }
    }
    return (std::signbit(ev) ? "-" : "+") + body;
}

std::string formattedEV(float ev) {
    return formattedEV(static_cast<double>(ev));
}

std::string superscripted(std::string_view text) {
    return mapDigits(text, superscriptDigits);
}

std::string superscripted(std::int64_t number) {
    return superscripted(std::to_string(number));
}

std::string subscripted(std::string_view text) {
    return mapDigits(text, subscriptDigits);
}

std::string subscripted(std::int64_t number) {
    return subscripted(std::to_string(number));
}

} // namespace qv::QVPhotoMath
