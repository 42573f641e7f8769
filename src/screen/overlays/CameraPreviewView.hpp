#pragma once

#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv {

// The live picture: the controller's preview layer hosted in the view tree, taking the
// size it is offered. Its newest frame is drawn turned upright whenever the window draws;
// a new frame asks for a drawing, not a rebuild. One main-queue turn after a build that
// gives it new bounds, the layer's frame follows them. The host keeps the layer it was
// first shown with: a different layer passed later is not swapped in.
struct CameraPreviewView {
    std::shared_ptr<platform::CaptureVideoPreviewLayer> previewLayer;

    platform::ui::View body() const; // tagged "camera preview"
};

} // namespace qv
