#pragma once
// The camera screen as the app shows it: CameraMainView with the app's own views in its
// slots (the what's-new notice, the settings screen, the sequence-mode selector).

#include "camera/CameraManager.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

// The controller must be in the environment where the view stands, and outlive it.
platform::ui::View cameraScreen(CameraManager& camera);

} // namespace qv
