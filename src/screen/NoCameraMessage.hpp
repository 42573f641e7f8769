#pragma once

#include "camera/CameraManager.hpp"

#include <string>

namespace qv {

// What the camera screen's message box says while the controller has no camera to show, in
// one short sentence, for as long as the state lasts:
//   noRAWCamera without a camera: why the phone has none, as its discovery says ("No usable
//     recorded frame of 4032x3024."), else "No camera found.";
//   noRAWCamera with cameras (none could be set up): "The camera could not be started.";
//   cameraNotAllowed: "Access to the camera was refused." (or, with the camera granted,
//     "Access to the photo library was refused.").
// Empty in every other state. Main queue.
std::string noCameraMessage(const CameraManager& camera);

} // namespace qv
