#pragma once
// The layout the full-screen selectors share (the selector grid and the sequence-mode
// selector): a header row (when shown), then the cells in a lazy grid of equal flexible
// columns inside a padded scroll view, between two spacers; framed to the space given
// (width and height exchanged at a quarter turn), centred in it and turned by
// `viewRotation` about its centre.
//
// The grid scrolls the selected cell to the middle of the scroll view, within the
// default animation, once when it appears and once per change of `selectedKey`: one
// trigger on the grid, so rows that scroll in never scroll back, and a manual drag
// stays where it was left.

#include "components/SelectorHeader.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>
#include <vector>

namespace qv {

struct SelectorFrame {
    struct Cell {
        std::string key; // the cell's identity in the grid, what `selectedKey` names
        platform::ui::View view;
    };

    std::string title;
    bool autoDismiss = true; // with an empty title, hides the header
    std::function<void()> close;
    double viewRotation = 0; // radians
    int numberOfColumns = 1; // below 1 counts as 1
    std::vector<Cell> cells;
    std::string selectedKey;         // a key no cell has scrolls nothing
    platform::ui::View body() const; // the framed stack is tagged "selector"

    /// What a tap on a cell does: `choose` writes the choice and, with `autoDismiss`, the
    /// selector closes, both within the default animation.
    static std::function<void()> choice(std::function<void()> choose,
                                        platform::Binding<bool> isShowing, bool autoDismiss);
    /// What the header's close symbol does: the selector closes within the default animation.
    static std::function<void()> closing(platform::Binding<bool> isShowing);

    /// Whether `radians` turns the selector a quarter: 90, 270, -90 or -270 degrees,
    /// compared exactly (a half turn is no quarter turn).
    static bool isQuarterTurn(double radians);
};

} // namespace qv
