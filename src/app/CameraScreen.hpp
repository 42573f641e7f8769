#pragma once
// The camera screen as the app shows it, with the layers the app lays over it.

#include "camera/CameraManager.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

platform::ui::View cameraScreen(CameraManager& camera);

} // namespace qv
