#include "components/SelectorGrid.hpp"

#include "components/SelectorCell.hpp"
#include "components/SelectorFrame.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

namespace {
constexpr double kMinimumColumnWidth = 10;
}

SelectorGrid::SelectorGrid(std::string heading, platform::Binding<bool> shown,
                           platform::Binding<int> selection, std::vector<GridSelectableItem> items,
                           int columnCount, bool closesOnChoice, double rotation,
                           bool centersSelection)
    : title(std::move(heading)), isShowing(std::move(shown)), selectedIndex(std::move(selection)),
      dataArray(std::move(items)), numberOfColumns(std::max(1, columnCount)),
      columns(static_cast<std::size_t>(numberOfColumns), GridItem::flexible(kMinimumColumnWidth)),
      autoDismiss(closesOnChoice), viewRotation(rotation), shouldCenterSelection(centersSelection) {
    for (int i = 0; i < static_cast<int>(dataArray.size()); ++i) {
        validIndices.push_back(i);
    }
}

int SelectorGrid::placeholderCount(int selectedIndex, int numberOfColumns) {
    const int n = std::max(1, numberOfColumns);
    return (n - 1) - ((selectedIndex + n / 2) % n);
}

View SelectorGrid::body() const {
    const int selected = selectedIndex.get();
    const auto shows = isShowing;
    const auto index = selectedIndex;
    const bool dismisses = autoDismiss;

    std::vector<SelectorFrame::Cell> cells;
    const int blanks = shouldCenterSelection ? placeholderCount(selected, numberOfColumns) : 0;
    for (int n = 1; n <= blanks; ++n) {
        const std::string key = "blank-" + std::to_string(n);
        cells.push_back({key, SelectorBlankCell{"selector blank " + std::to_string(n)}});
    }
    for (int i : validIndices) {
        auto select = SelectorFrame::choice([index, i] { index.set(i); }, shows, dismisses);
        cells.push_back(
            {std::to_string(i),
             SelectorItemCell{dataArray[static_cast<std::size_t>(i)].displayString(), i == selected,
                              select, "selector item " + std::to_string(i)}});
    }
    return SelectorFrame{
        title,           autoDismiss,      SelectorFrame::closing(shows), viewRotation,
        numberOfColumns, std::move(cells), std::to_string(selected)};
}

} // namespace qv
