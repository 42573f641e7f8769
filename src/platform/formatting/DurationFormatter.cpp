#include "platform/formatting/DurationFormatter.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace qv::platform {

namespace {

// The whole seconds of a finite duration, without its sign.
std::int64_t wholeSeconds(double seconds) {
    return saturatingCast<std::int64_t>(std::fabs(seconds));
}

} // namespace

std::string formatAbbreviatedDuration(double seconds) {
    if (!std::isfinite(seconds)) {
        return "";
    }
    const std::int64_t total = wholeSeconds(seconds);
    const std::int64_t parts[] = {total / 3600, total / 60 % 60, total % 60};
    const char* const units[] = {"h", "m", "s"};
    std::string text;
    for (int i = 0; i < 3; ++i) {
        if (parts[i] != 0) {
            if (!text.empty()) {
                text += ' ';
            }
            text += std::to_string(parts[i]);
            text += units[i];
        }
    }
    if (text.empty()) {
        return "0s";
    }
    return seconds < 0 ? std::string("-").append(text) : text;
}

std::string formatPositionalDuration(double seconds) {
    if (!std::isfinite(seconds)) {
        return "";
    }
    const std::int64_t total = wholeSeconds(seconds);
    const long long hours = total / 3600;
    const int minutes = static_cast<int>(total / 60 % 60);
    const int secs = static_cast<int>(total % 60);
    char text[48];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02d:%02d", hours, minutes, secs);
    } else {
        std::snprintf(text, sizeof text, "%d:%02d", minutes, secs);
    }
    return seconds < 0 && total > 0 ? std::string("-").append(text) : std::string(text);
}

} // namespace qv::platform
