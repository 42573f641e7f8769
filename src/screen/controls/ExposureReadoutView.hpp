#pragma once

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/drawing/Font.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <optional>
#include <string>

namespace qv {

// One readout of the exposure panel: a label line in caption 2 over the value, the whole
// one button. ISO and shutter put limit marks either side of their label:
// "arrow.down.to.line" and "arrow.up.to.line" in caption, each in its own colour (black,
// the panel's ground, while the value is off that limit).
struct ExposureReadoutView {
    struct LimitMarks {
        platform::ui::Color lower;
        platform::ui::Color upper;
    };

    std::string label; // a key of the strings table
    platform::ui::Color labelColor;
    std::optional<LimitMarks> limitMarks;
    std::string value; // shown as it is
    platform::ui::Color valueColor;
    platform::ui::Font valueFont = platform::ui::Font::headline();
    std::function<void()> onTap;
    std::string tag; // the readout's test tag

    platform::ui::View body() const;
};

} // namespace qv
