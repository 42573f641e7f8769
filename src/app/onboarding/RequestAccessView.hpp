#pragma once
// The first screen of a fresh installation, shown by the app's scene until camera and
// Photos access are both granted. It names the two rights with a check for each and asks
// for them: "Continue" asks for the camera first, then for the photo library; a tap on a row
// asks for that right whatever its state (a right already decided then opens the access
// settings). The screen dismisses nothing: the scene replaces it once both are granted.

#include "camera/CameraManager.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

struct RequestAccessView {
    platform::ui::EnvironmentObject<CameraManager> cameraManager;
    platform::ui::Color enabledColor; // texts, checks and the button's fill
    platform::ui::Color disableColor; // the explanations

    /// The rows are tagged "camera access" and "photos access", the button "continue".
    platform::ui::View body() const;
};

} // namespace qv
