#include "screen/DurationLabel.hpp"

#include "platform/formatting/DurationFormatter.hpp"
#include "platform/ui/views/LocalizedStrings.hpp"

namespace qv {

std::string durationLabel(double seconds) {
    if (seconds == 0) {
        return platform::ui::localizedString("Single Frame");
    }
    return platform::formatPositionalDuration(seconds);
}

} // namespace qv
