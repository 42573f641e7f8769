#pragma once
// The full-screen picker of the sequence mode, which the camera screen lays over its
// preview: the four modes ("Frame Averaging", "Light Trails", "Star Trails", "Night Mode")
// as cells of the selector grid's look, keyed by mode, without blank cells before them.
// A tap writes the mode and, with `autoDismiss`, closes the selector, in one transaction
// within the default animation. The selector holds nothing: the mode and the flag that
// shows it come from its host through bindings.
//
//     SequenceModeSelector("", isShowing, camera.sequenceMode.binding(), 1, true, rotation)

#include "model/Enumerations.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/View.hpp"

#include <string>
#include <vector>

namespace qv {

struct SequenceModeSelector {
    SequenceModeSelector(std::string title, platform::Binding<bool> isShowing,
                         platform::Binding<SequenceMode> selectedMode, int numberOfColumns,
                         bool autoDismiss, double viewRotation);

    std::string title; // the header's text; empty for none
    platform::Binding<bool> isShowing;
    platform::Binding<SequenceMode> selectedMode;
    int numberOfColumns; // below 1 counts as 1
    std::vector<platform::ui::GridItem> columns;
    bool autoDismiss;    // a tap on a mode also closes the selector
    double viewRotation; // radians, about the selector's centre

    /// The cells are tagged "mode <raw value>"; the framed stack "selector".
    platform::ui::View body() const;
};

} // namespace qv
