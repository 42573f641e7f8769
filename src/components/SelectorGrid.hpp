#pragma once
// The full-screen grid picker of the app: a scrolling grid of labelled cells from which
// the user taps one value. It owns no state: the items, the index of the chosen one and
// the flag that shows it come from its host, the last two through bindings; it writes the
// new index on a tap and, when it closes itself, the flag (both within the default
// animation).
//
// With `shouldCenterSelection`, blank cells before the items put the chosen item in the
// middle column (the column left of the middle for an even count); their number follows
// the selection. Blank cells are keyed "blank-1", "blank-2", ..., items by their index,
// so the grid scrolls to the chosen item, never to a blank.
//
//     SelectorGrid("", isShowing, camera.selectedISOIndex.binding(),
//                  GridSelectableItem::list(camera.selectableISOs()), 3, true, rotation, true)

#include "components/GridSelectableItem.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/View.hpp"

#include <string>
#include <vector>

namespace qv {

struct SelectorGrid {
    SelectorGrid(std::string title, platform::Binding<bool> isShowing,
                 platform::Binding<int> selectedIndex, std::vector<GridSelectableItem> dataArray,
                 int numberOfColumns, bool autoDismiss, double viewRotation,
                 bool shouldCenterSelection);

    std::string title; // the header's text; empty for none
    platform::Binding<bool> isShowing;
    platform::Binding<int> selectedIndex; // an index outside the items highlights nothing
    std::vector<GridSelectableItem> dataArray;
    std::vector<int> validIndices; // 0 ... count - 1: the identities of the item cells
    int numberOfColumns;           // below 1 counts as 1
    std::vector<platform::ui::GridItem> columns;
    bool autoDismiss;    // a tap on an item also closes the grid
    double viewRotation; // radians, about the grid's centre
    bool shouldCenterSelection;

    /// Item cells are tagged "selector item <index>", blank cells "selector blank <n>".
    platform::ui::View body() const;

    /// How many blank cells put item `selectedIndex` in the middle column of
    /// `numberOfColumns`: (n - 1) - ((s + n / 2) % n), with C++'s truncating division and
    /// remainder: 0 to n - 1 for a selection of 0 or more, up to 2n - 2 below that.
    static int placeholderCount(int selectedIndex, int numberOfColumns);
};

} // namespace qv
