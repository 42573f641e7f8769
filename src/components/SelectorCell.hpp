#pragma once
// The cells of the full-screen selectors: an item cell (a text in a rounded box,
// highlighted when selected; a tap selects it) and a blank cell of the same size
// that shows nothing on black (the selector grid centres its selection with them).

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct SelectorItemCell {
    std::string text;
    bool isSelected = false;
    std::function<void()> onSelect;
    std::string tag; // the box's test tag
    platform::ui::View body() const;
};

struct SelectorBlankCell {
    std::string tag; // the box's test tag
    platform::ui::View body() const;
};

} // namespace qv
