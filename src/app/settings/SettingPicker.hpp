#pragma once
// The look the settings screen's segmented pickers share (FileFormatPicker, DelayPicker):
// one picker over typed segments, 200 x 50 points, centred in a column, drawn in the dark
// colour scheme. The segment whose value equals the setting is selected (none when no
// segment has it); a tap writes the segment's value through the binding at once.

#include "app/Metrics.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Views.hpp"

#include <string>
#include <vector>

namespace qv {

template <std::equality_comparable T>
platform::ui::View settingPicker(const std::string& titleKey, platform::Binding<T> selection,
                                 std::vector<platform::ui::PickerSegment<T>> segments) {
    using namespace platform::ui;
    return VStack({Picker(localizedString(titleKey), std::move(selection), std::move(segments))
                       .frame(appmetrics::pickerWidth, appmetrics::pickerHeight)})
        .colorScheme(ColorScheme::dark);
}

} // namespace qv
