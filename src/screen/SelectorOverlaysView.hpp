#pragma once

#include "components/GridSelectableItem.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <cstdint>
#include <vector>

namespace qv {

// The four exposure selectors, each a selector grid on black over the whole host, which
// the screen lays over the bottom square of its safe area while one is open. Later layers
// lie above earlier ones: ISO, shutter speed, exposure offset, total time. Each grid has
// no title, closes itself after a pick and centres the chosen item; the lists are built
// from the values given at every rebuild, so a new camera or mode changes them at once.
struct SelectorOverlaysView {
    struct Selector {
        platform::Binding<bool> isShowing;
        platform::Binding<int> selectedIndex; // an index off the list highlights nothing
        std::vector<GridSelectableItem> items;
        int columns = 3;
    };

    Selector iso;
    Selector shutterSpeed;
    Selector exposureOffset;
    Selector totalTime;
    double rotation = 0; // radians: the grids turn with the phone

    platform::ui::View body() const; // each open grid's layer is tagged "ISO selector",
                                     // "shutter selector", "EV selector" or "total time
                                     // selector"

    // The items: the ISO values as numbers; shutter speeds (or night mode's lengths) as
    // abbreviated shutter texts; bias values as thirds of a stop; run lengths as
    // durationLabel texts.
    static std::vector<GridSelectableItem> isoItems(const std::vector<std::int64_t>& isos);
    static std::vector<GridSelectableItem> shutterItems(const std::vector<double>& seconds);
    static std::vector<GridSelectableItem> biasItems(const std::vector<float>& biases);
    static std::vector<GridSelectableItem> durationItems(const std::vector<double>& seconds);
};

} // namespace qv
