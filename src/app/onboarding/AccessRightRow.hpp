#pragma once
// One access right on the access screen: its title over a short explanation (at most three
// lines, in the explanation colour), then "checkmark.square" while it is granted or
// "square". The whole row, gaps included, takes the tap.

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct AccessRightRow {
    std::string title;       // a key of the strings table
    std::string explanation; // a key of the strings table
    bool isGranted = false;
    platform::ui::Color explanationColor;
    std::function<void()> onTap;
    std::string tag;

    platform::ui::View body() const;
};

} // namespace qv
