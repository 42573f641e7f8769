#pragma once

#include "camera/CameraManager.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"
#include "screen/CameraScreenShell.hpp"
#include "screen/CameraScreenState.hpp"

namespace qv {

// The app's main screen. On black, from the top of the safe area: the preview region (as
// wide as the safe area, 4/3 of that high) with its overlays and gestures, and under it the
// exposure panel, the control row and the shutter row. Over them: the what's-new notice
// while it is due, the exposure selectors on the bottom square of the safe area while one
// is open; as full-screen covers, the settings screen (the gear) and the result of the last
// run while the controller's showResultImage is set. The notice, the settings screen and
// the mode selector over the preview are the app's views, handed in through `shell`.
//
// The screen is the one view that reads the controller: it hands every view it places the
// values it shows and the actions it runs (CameraScreenActions). It measures the safe area
// when it appears and again when the window is resized; before that every size is zero.
// It reacts to the scene phase (CameraScreenActions::scenePhaseChanged).
//
// Place it with the controller in the environment:
//     View(CameraMainView{.shell = appViews}).environmentObject(*camera)
struct CameraMainView {
    CameraScreenShell shell;
    platform::ui::EnvironmentObject<CameraManager> cameraManager{};
    CameraScreenState state{};

    platform::ui::View body() const; // the selectors' host is tagged "selector host"
};

} // namespace qv
