#pragma once
// A toggle style that draws a toggle as its label beside a symbol: an empty shape when
// off, the same shape with a check mark when on. A tap flips the bound value within
// the default animation; in a disabled hierarchy the tap does nothing.
//
//     Toggle(saveLocation, Text("Save GPS data"))
//         .toggleStyle(ToggleStyleCheckmark{ToggleStyleCheckmark::CheckmarkStyle::circle})

#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Environment.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct ToggleStyleCheckmark {
    /// The shape of the symbol; its raw value is the symbol when off ("square"), and
    /// "checkmark." followed by it when on.
    enum class CheckmarkStyle { square, circle, diamond };
    static std::string rawValue(CheckmarkStyle style);
    /// The style of a raw value: exactly "square", "circle" or "diamond".
    static std::optional<CheckmarkStyle> checkmarkStyle(std::string_view rawValue);

    /// Where the symbol stands: before the label (leading) or after it (trailing).
    enum class CheckmarkPosition { leading, trailing };

    CheckmarkStyle style = CheckmarkStyle::square;
    platform::ui::ImageScale imageScale = platform::ui::ImageScale::medium;
    CheckmarkPosition checkmarkPosition = CheckmarkPosition::leading;

    /// The symbol for the value; runs where the toggle stands (it reads whether the
    /// hierarchy is enabled there).
    platform::ui::View makeBody(const platform::ui::ToggleConfiguration& configuration) const;
    std::string symbolName(bool isOn) const;
};

} // namespace qv
