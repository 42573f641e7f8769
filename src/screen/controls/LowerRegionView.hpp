#pragma once

#include "platform/ui/views/View.hpp"
#include "screen/controls/ControlBarView.hpp"
#include "screen/controls/ExposurePanelView.hpp"
#include "screen/controls/ShutterRowView.hpp"

namespace qv {

// The region under the preview: the exposure panel, the control row and the shutter row,
// stacked without gaps; while the mode selector is open over the preview, a black veil at
// 80 % lies over all of it.
struct LowerRegionView {
    ExposurePanelView exposurePanel;
    ControlBarView controlBar;
    ShutterRowView shutterRow;
    bool isVeiled = false;

    platform::ui::View body() const; // the veil is tagged "lower region veil"
};

} // namespace qv
