#include "app/settings/SettingsToggleRow.hpp"

#include "app/Metrics.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View SettingsToggleRow::body() const {
    const auto tap = onTap;
    // The label is served before the spacer, so it keeps the width it needs.
    return HStack({Text(LocalizedStringKey{label})
                       .font(Font::system(fontSize))
                       .foregroundColor(metrics::activeColor())
                       .layoutPriority(1),
                   Spacer(),
                   Image::system(isChecked ? "checkmark.square" : "square")
                       .font(Font::system(appmetrics::settingsFontSize))})
        .frame(appmetrics::toggleRowWidth, appmetrics::toggleRowHeight)
        .padding(Edges::leading, appmetrics::toggleRowLeadingPadding)
        .onTapGesture([tap] {
            if (tap) {
                tap();
            }
        })
        .testTag("toggle " + label);
}

} // namespace qv
