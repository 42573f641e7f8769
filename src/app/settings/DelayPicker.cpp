#include "app/settings/DelayPicker.hpp"

#include "app/settings/SettingPicker.hpp"

namespace qv {

using namespace platform::ui;

std::string DelayPicker::segmentText(Delay delay) {
    if (delay == Delay::off) {
        return localizedString("off");
    }
    return std::to_string(rawValue(delay)) + "s";
}

View DelayPicker::body() const {
    std::vector<PickerSegment<Delay>> segments;
    for (const Delay delay : delays) {
        segments.push_back({delay, segmentText(delay)});
    }
    return settingPicker("Release delay", selection, std::move(segments)).testTag("delay picker");
}

} // namespace qv
