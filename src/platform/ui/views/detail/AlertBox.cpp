#include "platform/ui/views/detail/AlertBox.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv::platform::ui::detail {
namespace {

constexpr double kBoxWidth = 270;
constexpr double kCornerRadius = 14;
constexpr double kButtonHeight = 44;
constexpr double kLineWidth = 0.5;

Color boxColor() {
    return Color::dynamic({0.95, 0.95, 0.95, 1}, {0.17, 0.17, 0.18, 1});
}

View line() {
    return View(Color::gray().opacity(0.5));
}

View buttonView(const AlertButton& button, const Binding<bool>& isPresented) {
    const Color tint = button.role == ButtonRole::destructive ? Color::red() : Color::accent();
    const FontWeight weight =
        button.role == ButtonRole::cancel ? FontWeight::semibold : FontWeight::regular;
    return Text(button.title)
        .font(Font::system(17, weight))
        .foregroundColor(tint)
        .lineLimit(1)
        .minimumScaleFactor(0.5)
        .padding(Edges::horizontal, 8)
        .frame(FrameLimits{}.withMaxWidth(kInfinity).withMinHeight(kButtonHeight))
        .contentShape(Rectangle())
        .onTapGesture([isPresented, action = button.action] {
            // Closed first, so an action may present the alert again.
            isPresented.set(false);
            if (action) {
                action();
            }
        });
}

// Two buttons stand side by side, one or more than two one under the other.
View buttonRows(const std::vector<AlertButton>& buttons, const Binding<bool>& isPresented) {
    std::vector<View> views;
    const bool sideBySide = buttons.size() == 2;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i > 0) {
            views.push_back(sideBySide ? line().frame(kLineWidth, kButtonHeight)
                                       : line().frame(std::nullopt, kLineWidth));
        }
        views.push_back(buttonView(buttons[i], isPresented));
    }
    return sideBySide ? HStack(std::move(views), VerticalAlignment::center, 0)
                      : VStack(std::move(views), HorizontalAlignment::center, 0);
}

} // namespace

View AlertBox::body() const {
    std::vector<AlertButton> shown = buttons;
    if (shown.empty()) {
        shown.push_back({"OK", ButtonRole::cancel, [] {}});
    }
    View texts =
        VStack({Text(title).font(Font::headline()),
                If(!message.empty(), [&] { return Text(message).font(Font::footnote()); })},
               HorizontalAlignment::center, 4)
            .multilineTextAlignment(TextAlignment::center)
            .foregroundColor(Color::label())
            .padding(EdgeInsets{19, 16, 16, 16});
    View box =
        VStack({texts, line().frame(std::nullopt, kLineWidth), buttonRows(shown, isPresented)},
               HorizontalAlignment::center, 0)
            .frame(kBoxWidth, std::nullopt)
            .background(
                RoundedRectangle(kCornerRadius, RoundedCornerStyle::continuous).fill(boxColor()))
            .testTag("alert");
    return ZStack({View(Color::black().opacity(0.4)).ignoresSafeArea(), box});
}

} // namespace qv::platform::ui::detail
