#include "screen/SelectorOverlaysView.hpp"

#include "components/SelectorGrid.hpp"
#include "model/PhotoFormatting.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/DurationLabel.hpp"
#include "screen/Metrics.hpp"

namespace qv {

using namespace platform::ui;

namespace {

View layer(const SelectorOverlaysView::Selector& selector, double rotation, const char* tag) {
    return If(selector.isShowing.get(), [&] {
        return ZStack({View(metrics::backgroundColor()),
                       SelectorGrid("", selector.isShowing, selector.selectedIndex, selector.items,
                                    selector.columns, true, rotation, true)})
            .testTag(tag);
    });
}

template <class Values, class Text>
std::vector<GridSelectableItem> itemsOf(const Values& values, Text text) {
    std::vector<GridSelectableItem> items;
    items.reserve(values.size());
    for (const auto& value : values) {
        items.emplace_back(text(value));
    }
    return items;
}

} // namespace

View SelectorOverlaysView::body() const {
    return ZStack({layer(iso, rotation, "ISO selector"),
                   layer(shutterSpeed, rotation, "shutter selector"),
                   layer(exposureOffset, rotation, "EV selector"),
                   layer(totalTime, rotation, "total time selector")});
}

std::vector<GridSelectableItem>
SelectorOverlaysView::isoItems(const std::vector<std::int64_t>& isos) {
    return GridSelectableItem::list(isos);
}

std::vector<GridSelectableItem>
SelectorOverlaysView::shutterItems(const std::vector<double>& seconds) {
    return itemsOf(seconds, [](double s) { return QVPhotoMath::formattedShutterSpeed(s, true); });
}

std::vector<GridSelectableItem> SelectorOverlaysView::biasItems(const std::vector<float>& biases) {
    return itemsOf(biases, [](float ev) { return QVPhotoMath::formattedEV(ev); });
}

std::vector<GridSelectableItem>
SelectorOverlaysView::durationItems(const std::vector<double>& seconds) {
    return itemsOf(seconds, durationLabel);
}

} // namespace qv
