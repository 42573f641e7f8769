#include "ComponentsPage.hpp"

#include "components/BaseGeometryReader.hpp"
#include "components/InstagramView.hpp"
#include "components/ProgressCircle.hpp"
#include "components/SelectorGrid.hpp"
#include "components/ToggleStyleCheckmark.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::testing {

using namespace platform::ui;
using platform::Binding;

namespace {

// Whole screens (the grids, the invitation) are laid out at the phone's size and drawn
// scaled down into a tile.
constexpr double kGridScale = 0.45;
constexpr double kInvitationScale = 0.3;
constexpr Size kScreen{390, 763};

View tile(View screen, double scale, const std::string& tag) {
    return screen.frame(kScreen.width, kScreen.height)
        .scaleEffect(scale)
        .frame(kScreen.width * scale, kScreen.height * scale)
        .clipped()
        .overlay(Rectangle().stroke(Color::darkGray(), 1))
        .testTag(tag);
}

// The ISO steps of a phone camera in thirds of a stop; 800 is item 12.
std::vector<GridSelectableItem> isoValues() {
    return GridSelectableItem::list(std::vector<int>{
        50,   64,   80,   100,  125,  160,  200,  250,  320,  400,   500,   640,   800,   1000,
        1250, 1600, 2000, 2500, 3200, 4000, 5000, 6400, 8000, 10000, 12800, 16000, 20000, 25600});
}

View caption(const std::string& text) {
    return Text(text).font(Font::caption2()).foregroundStyle(ShapeStyle::secondary());
}

View grid(double rotation, const std::string& tag) {
    return tile(SelectorGrid("", Binding<bool>::constant(true), Binding<int>::constant(12),
                             isoValues(), 3, true, rotation, true),
                kGridScale, tag);
}

View ring(double remaining) {
    return View(ProgressCircle{Binding<double>::constant(remaining), 60}).frame(90, 90);
}

View toggle(ToggleStyleCheckmark::CheckmarkStyle style, bool on,
            ToggleStyleCheckmark::CheckmarkPosition position, const std::string& label) {
    return Toggle(Binding<bool>::constant(on), Text(label).font(Font::callout()))
        .toggleStyle(ToggleStyleCheckmark{style, ImageScale::medium, position});
}

View captioned(const std::string& text, View content) {
    return VStack({caption(text), std::move(content)}, HorizontalAlignment::center, 4);
}

} // namespace

View componentsPage() {
    using Style = ToggleStyleCheckmark::CheckmarkStyle;
    using Position = ToggleStyleCheckmark::CheckmarkPosition;
    View grids = HStack({captioned("SelectorGrid, ISO 800 chosen", grid(0, "grid")),
                         captioned("turned a quarter", grid(kPi / 2, "turned grid"))},
                        VerticalAlignment::top, 12);
    View rings = captioned(
        "ProgressCircle: 60, 30 and 15 of 60",
        HStack({ring(60), ring(30), ring(15)}, VerticalAlignment::center, 20).testTag("rings"));
    View toggles = captioned("ToggleStyleCheckmark",
                             VStack({toggle(Style::square, false, Position::leading, "Square, off"),
                                     toggle(Style::circle, true, Position::leading, "Circle, on"),
                                     toggle(Style::diamond, true, Position::trailing, "Diamond")},
                                    HorizontalAlignment::leading, 12)
                                 .testTag("toggles"));
    View invitation = captioned("InstagramView", tile(InstagramView{Binding<bool>::constant(true)},
                                                      kInvitationScale, "invitation"));
    View page = VStack({grids, rings, HStack({toggles, invitation}, VerticalAlignment::top, 24)},
                       HorizontalAlignment::center, 6);
    return BaseGeometryReader{Binding<BaseGeometry>::constant({}), [page] {
                                  return ZStack({View(Color::black()).ignoresSafeArea(), page});
                              }};
}

} // namespace qv::testing
