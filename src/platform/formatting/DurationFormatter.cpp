#include "platform/formatting/DurationFormatter.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>
#include <cstdint>

namespace qv::platform {

std::string formatAbbreviatedDuration(double seconds) {
    if (!std::isfinite(seconds)) {
        return "";
    }
    const std::int64_t total = saturatingCast<std::int64_t>(std::fabs(seconds));
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

} // namespace qv::platform
