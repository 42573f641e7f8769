#include "platform/ui/controls/Controls.hpp"

#include "platform/state/Transaction.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::platform::ui {
namespace {

// Builds its view where it stands, from the environment there.
class EnvironmentReader final : public ViewNode {
public:
    explicit EnvironmentReader(std::function<View(const Environment&)> make)
        : make_(std::move(make)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        View view = detail::withContext(ctx, [&] { return make_(*ctx.environment); });
        detail::retainBody(view);
        detail::resolveView(view, ctx, out);
    }

private:
    std::function<View(const Environment&)> make_;
};

View reading(std::function<View(const Environment&)> make) {
    return View(std::make_shared<EnvironmentReader>(std::move(make)));
}

View styledLabel(const View& label, ButtonRole role, ButtonStyle style, bool enabled) {
    switch (style) {
    case ButtonStyle::plain:
        return label.opacity(enabled ? 1 : 0.5);
    case ButtonStyle::borderedProminent:
        return label.foregroundColor(Color::white())
            .padding(EdgeInsets{7, 14, 7, 14})
            .background(RoundedRectangle(8, RoundedCornerStyle::continuous)
                            .fill(enabled ? (role == ButtonRole::destructive ? Color::red()
                                                                             : Color::accent())
                                          : Color::white(0.5, 0.3)));
    case ButtonStyle::automatic:
        break;
    }
    const Color tint = !enabled                          ? Color::gray()
                       : role == ButtonRole::destructive ? Color::red()
                                                         : Color::accent();
    return label.foregroundColor(tint);
}

} // namespace

Button::Button(const char* titleKey, std::function<void()> action, ButtonRole role)
    : Button(Text(titleKey), std::move(action), role) {}

Button::Button(const LocalizedStringKey& titleKey, std::function<void()> action, ButtonRole role)
    : Button(Text(titleKey), std::move(action), role) {}

Button::Button(std::string title, std::function<void()> action, ButtonRole role)
    : Button(Text(std::move(title)), std::move(action), role) {}

Button::Button(View label, std::function<void()> action, ButtonRole role)
    : Button(std::move(label), std::move(action), role, ButtonStyle::automatic) {}

Button::Button(View label, std::function<void()> action, ButtonRole role, ButtonStyle style)
    : View(reading([=](const Environment& env) {
          return styledLabel(label, role, style, env.isEnabled)
              .contentShape(Rectangle())
              .onTapGesture(action);
      })),
      label_(std::move(label)), action_(std::move(action)), role_(role), style_(style) {}

Button Button::buttonStyle(ButtonStyle style) const {
    return Button(label_, action_, role_, style);
}

namespace detail {

View segmentedControl(const std::string& title, const std::vector<std::string>& labels,
                      std::optional<std::size_t> selected,
                      std::function<void(std::size_t)> choose) {
    std::vector<View> segments;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const bool on = selected == i;
        segments.push_back(
            Text(labels[i])
                .font(Font::system(13, on ? FontWeight::semibold : FontWeight::regular))
                .lineLimit(1)
                .minimumScaleFactor(0.5)
                .foregroundColor(Color::label())
                .padding(Edges::horizontal, 4)
                .frame(FrameLimits::infinite())
                .background(on ? View(RoundedRectangle(7, RoundedCornerStyle::continuous)
                                          .fill(Color::dynamic({1, 1, 1, 1}, {0.39, 0.39, 0.4, 1})))
                               : View())
                .contentShape(Rectangle())
                .onTapGesture([choose, i] { choose(i); }));
    }
    return HStack(std::move(segments), VerticalAlignment::center, 0)
        .padding(2)
        .frame(FrameLimits{}
                   .withMaxWidth(kInfinity)
                   .withMinHeight(24)
                   .withIdealHeight(32)
                   .withMaxHeight(32))
        .background(
            RoundedRectangle(9, RoundedCornerStyle::continuous).fill(Color::white(0.46, 0.24)))
        .testTag("Picker: " + title);
}

} // namespace detail

namespace {
// The platform's switch after the label; a tap anywhere on the row flips it.
View switchRow(const ToggleConfiguration& c) {
    const bool on = c.isOn.get();
    View knob = Circle().fill(Color::white()).frame(27, 27).padding(2);
    View track = Capsule()
                     .fill(on ? Color::green() : Color::white(0.47, 0.32))
                     .frame(51, 31)
                     .overlay(knob, on ? Alignment::trailing() : Alignment::leading());
    return HStack({c.label, Spacer(), track})
        .contentShape(Rectangle())
        .onTapGesture([isOn = c.isOn] { withAnimation([&] { isOn.set(!isOn.get()); }); });
}

View styledToggle(const ToggleConfiguration& c,
                  std::function<View(const ToggleConfiguration&)> body) {
    return reading([c, body = std::move(body)](const Environment&) { return body(c); });
}
} // namespace

Toggle::Toggle(Binding<bool> isOn, View label)
    : View(styledToggle({label, isOn}, switchRow)), configuration_{label, isOn} {}

Toggle::Toggle(const char* titleKey, Binding<bool> isOn)
    : Toggle(std::move(isOn), Text(titleKey)) {}

Toggle::Toggle(const LocalizedStringKey& titleKey, Binding<bool> isOn)
    : Toggle(std::move(isOn), Text(titleKey)) {}

Toggle::Toggle(const std::string& title, Binding<bool> isOn)
    : Toggle(std::move(isOn), Text(title)) {}

View Toggle::styled(std::function<View(const ToggleConfiguration&)> body) const {
    return styledToggle(configuration_, std::move(body));
}

} // namespace qv::platform::ui
