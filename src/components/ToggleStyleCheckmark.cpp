#include "components/ToggleStyleCheckmark.hpp"

#include "platform/state/Transaction.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {
constexpr double kSpacing = 20;
}

std::string ToggleStyleCheckmark::rawValue(CheckmarkStyle style) {
    switch (style) {
    case CheckmarkStyle::square:
        return "square";
    case CheckmarkStyle::circle:
        return "circle";
    case CheckmarkStyle::diamond:
        return "diamond";
    }
    return "square";
}

std::optional<ToggleStyleCheckmark::CheckmarkStyle>
ToggleStyleCheckmark::checkmarkStyle(std::string_view raw) {
    for (auto style : {CheckmarkStyle::square, CheckmarkStyle::circle, CheckmarkStyle::diamond}) {
        if (raw == rawValue(style)) {
            return style;
        }
    }
    return std::nullopt;
}

std::string ToggleStyleCheckmark::symbolName(bool isOn) const {
    return (isOn ? "checkmark." : "") + rawValue(style);
}

View ToggleStyleCheckmark::makeBody(const ToggleConfiguration& configuration) const {
    const bool isEnabled = currentEnvironment().isEnabled;
    const bool trailing = checkmarkPosition == CheckmarkPosition::trailing;
    const View label = configuration.label;
    View row = HStack({If(trailing, [&] { return label; }),
                       Image::system(symbolName(configuration.isOn.get())).imageScale(imageScale),
                       If(!trailing, [&] { return label; })},
                      VerticalAlignment::center, kSpacing);
    const auto isOn = configuration.isOn;
    return Button(row, [isOn] { platform::withAnimation([&] { isOn.set(!isOn.get()); }); })
        .buttonStyle(ButtonStyle::plain)
        .disabled(!isEnabled);
}

} // namespace qv
