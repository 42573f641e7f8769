#include "components/SelectorFrame.hpp"

#include "platform/state/Transaction.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/Views.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

namespace {

constexpr double kRowSpacing = 10;
constexpr double kGridPaddingAboveAndBelow = 3;
constexpr double kMinimumColumnWidth = 10;

void scrollToSelection(const ScrollViewProxy& proxy, const std::string& key) {
    platform::withAnimation([&] { proxy.scrollTo(key, UnitPoint::center()); });
}

View grid(const SelectorFrame& frame, const ScrollViewProxy& proxy) {
    const std::vector<GridItem> columns(
        static_cast<std::size_t>(std::max(1, frame.numberOfColumns)),
        GridItem::flexible(kMinimumColumnWidth));
    View cells = ForEach(
        frame.cells, [](const SelectorFrame::Cell& c) { return c.key; },
        [](const SelectorFrame::Cell& c) { return c.view; });
    const std::string selected = frame.selectedKey;
    return LazyVGrid(columns, cells, kRowSpacing)
        .padding(Edges::vertical, kGridPaddingAboveAndBelow)
        .onAppear([proxy, selected] { scrollToSelection(proxy, selected); })
        .onChange(selected,
                  std::function<void(const std::string&)>(
                      [proxy](const std::string& key) { scrollToSelection(proxy, key); }));
}

} // namespace

std::function<void()> SelectorFrame::choice(std::function<void()> choose,
                                            platform::Binding<bool> isShowing, bool autoDismiss) {
    return [choose = std::move(choose), isShowing = std::move(isShowing), autoDismiss] {
        platform::withAnimation([&] {
            choose();
            if (autoDismiss) {
                isShowing.set(false);
            }
        });
    };
}

std::function<void()> SelectorFrame::closing(platform::Binding<bool> isShowing) {
    return [isShowing = std::move(isShowing)] {
        platform::withAnimation([&] { isShowing.set(false); });
    };
}

bool SelectorFrame::isQuarterTurn(double radians) {
    const double degrees = radians * 57.29577951308232;
    return degrees == 90 || degrees == 270 || degrees == -90 || degrees == -270;
}

View SelectorFrame::body() const {
    const SelectorFrame frame = *this;
    return GeometryReader([frame](const GeometryProxy& g) {
        const double w = g.size.width, h = g.size.height;
        const bool turned = isQuarterTurn(frame.viewRotation);
        View scroll = ScrollView(ScrollViewReader(
                                     [frame](ScrollViewProxy proxy) { return grid(frame, proxy); }),
                                 true)
                          .padding();
        return VStack({If(SelectorHeader::isShown(frame.title, frame.autoDismiss),
                          [&] {
                              return View(SelectorHeader{frame.title, frame.close});
                          }),
                       Spacer(), scroll, Spacer()})
            .frame(turned ? h : w, turned ? w : h)
            .testTag("selector")
            .position(w / 2, h / 2)
            .rotationEffect(frame.viewRotation);
    });
}

} // namespace qv
