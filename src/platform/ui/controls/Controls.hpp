#pragma once
// Controls: buttons with their styles and roles, the segmented picker over tagged
// values, and toggles with a style of their own.
//
//     Button("OK", [&] { camera.saveLastLaunchedVersion(); }).buttonStyle(ButtonStyle::automatic);
//     Picker("File Format", camera.fileFormat.binding(),
//            {{Format::raw, "RAW"}, {Format::jpeg, "JPEG"}, {Format::tiff, "TIFF"}});
//     Toggle(isOn, Text("Save GPS data")).toggleStyle(CheckmarkStyle{});
//
// A control in a disabled subtree draws dimmed and takes no input.

#include "platform/state/Binding.hpp"
#include "platform/ui/views/ButtonRole.hpp"
#include "platform/ui/views/LocalizedStrings.hpp"
#include "platform/ui/views/View.hpp"

#include <concepts>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::ui {

enum class ButtonStyle {
    /// The label in the accent colour (red for a destructive role).
    automatic,
    /// The label as it is, no highlight of its own.
    plain,
    /// White label on a filled rounded rectangle of the accent colour.
    borderedProminent,
};

/// A title given as a literal or a LocalizedStringKey is a key of the strings table;
/// a std::string title is shown as it is (see Text).
class Button : public View {
public:
    Button(const char* titleKey, std::function<void()> action, ButtonRole role = ButtonRole::none);
    Button(const LocalizedStringKey& titleKey, std::function<void()> action,
           ButtonRole role = ButtonRole::none);
    Button(std::string title, std::function<void()> action, ButtonRole role = ButtonRole::none);
    Button(View label, std::function<void()> action, ButtonRole role = ButtonRole::none);
    Button buttonStyle(ButtonStyle style) const;
    ButtonRole role() const { return role_; }

private:
    Button(View label, std::function<void()> action, ButtonRole role, ButtonStyle style);
    View label_;
    std::function<void()> action_;
    ButtonRole role_;
    ButtonStyle style_;
};

/// One segment of a picker: the value it stands for (its tag) and its text.
template <class T>
struct PickerSegment {
    T value;
    std::string label;
};

namespace detail {
/// A segmented control: `selected` marks a segment, a tap on segment i calls `choose(i)`.
View segmentedControl(const std::string& title, const std::vector<std::string>& labels,
                      std::optional<std::size_t> selected, std::function<void(std::size_t)> choose);
} // namespace detail

/// A segmented picker: the segment whose value equals the bound value is selected (none
/// when no segment has it); tapping a segment writes its value through the binding.
/// `title` names the picker; the segmented style does not show it.
template <std::equality_comparable T>
View Picker(const std::string& title, Binding<T> selection,
            std::vector<PickerSegment<T>> segments) {
    std::vector<std::string> labels;
    std::optional<std::size_t> selected;
    const T current = selection.get();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        labels.push_back(segments[i].label);
        if (!selected && segments[i].value == current) {
            selected = i;
        }
    }
    return detail::segmentedControl(title, labels, selected, [selection, segments](std::size_t i) {
        selection.set(segments[i].value);
    });
}

/// What a toggle style builds from.
struct ToggleConfiguration {
    View label;
    Binding<bool> isOn;
};

template <class S>
concept ToggleStyleType = requires(const S& s, const ToggleConfiguration& c) {
    { s.makeBody(c) } -> std::convertible_to<View>;
};

class Toggle : public View {
public:
    /// A switch after the label; a tap anywhere on the row flips the value.
    Toggle(Binding<bool> isOn, View label);
    /// The title as a label text: a literal or a LocalizedStringKey is a key of the
    /// strings table, a std::string is shown as it is.
    Toggle(const char* titleKey, Binding<bool> isOn);
    Toggle(const LocalizedStringKey& titleKey, Binding<bool> isOn);
    Toggle(const std::string& title, Binding<bool> isOn);

    /// Draws the toggle with `style` (its makeBody runs where the toggle stands, so it
    /// may read the environment).
    template <ToggleStyleType S>
    View toggleStyle(S style) const {
        return styled([style](const ToggleConfiguration& c) { return View(style.makeBody(c)); });
    }

private:
    View styled(std::function<View(const ToggleConfiguration&)> body) const;
    ToggleConfiguration configuration_;
};

} // namespace qv::platform::ui
