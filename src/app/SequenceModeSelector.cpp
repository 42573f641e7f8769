#include "app/SequenceModeSelector.hpp"

#include "components/SelectorCell.hpp"
#include "components/SelectorFrame.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

namespace {
constexpr double kMinimumColumnWidth = 10;
}

SequenceModeSelector::SequenceModeSelector(std::string heading, platform::Binding<bool> shown,
                                           platform::Binding<SequenceMode> mode, int columnCount,
                                           bool closesOnChoice, double rotation)
    : title(std::move(heading)), isShowing(std::move(shown)), selectedMode(std::move(mode)),
      numberOfColumns(std::max(1, columnCount)),
      columns(static_cast<std::size_t>(numberOfColumns), GridItem::flexible(kMinimumColumnWidth)),
      autoDismiss(closesOnChoice), viewRotation(rotation) {}

View SequenceModeSelector::body() const {
    const SequenceMode selected = selectedMode.get();
    const auto shows = isShowing;
    const auto mode = selectedMode;
    const bool dismisses = autoDismiss;

    std::vector<SelectorFrame::Cell> cells;
    for (const SequenceMode m : allSequenceModes) {
        auto select = SelectorFrame::choice([mode, m] { mode.set(m); }, shows, dismisses);
        const std::string key = std::to_string(rawValue(m));
        cells.push_back({key, SelectorItemCell{std::string(displayName(m)), m == selected, select,
                                               "mode " + key}});
    }
    return SelectorFrame{
        title,           autoDismiss,      SelectorFrame::closing(shows),     viewRotation,
        numberOfColumns, std::move(cells), std::to_string(rawValue(selected))};
}

} // namespace qv
