#include "app/settings/SettingsCloseButton.hpp"

#include "app/Metrics.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View SettingsCloseButton::body() const {
    const auto presented = isPresented;
    return Image::system("xmark.circle")
        .font(Font::system(iconSize * appmetrics::closeButtonScale))
        .foregroundColor(color)
        .padding()
        .onTapGesture([presented] { platform::withAnimation([&] { presented.set(false); }); })
        .testTag("settings close");
}

} // namespace qv
