#pragma once
// A capture preview layer inside the view tree, as the phone hosts a live video layer in a
// plain view: the layer's latest frame is drawn when the scene is drawn, not built as
// views.
//
//     PreviewLayerHost(camera.cameraPreviewLayer()).blur(radius).opacity(faded ? 0.01 : 1)
//
// - Frames: each frame that arrives asks the window for a redraw without a rebuild of the
//   views (ViewGraph::setDisplayHandler); the layer keeps the latest, and a draw shows it.
// - Frame of the layer: after each build of a living scene that places the host at bounds
//   the layer does not have yet, the layer's frame is set to them, (0, 0, width, height)
//   in points, one main-queue turn later, when the layout stands (the layer renders
//   frames only while its frame is not empty).
// - Picture: the landscape frame is drawn turned upright into the portrait host: its
//   point (u, v), in 0...1 of its width and height, lands at (w (1 - v), h u) of the
//   host's w by h points, as the layer's captureDevicePointOfInterestForPoint() expects.
//   Before the first frame the host draws nothing.
// - As a view: it takes the size it is offered, is hit anywhere in its frame, and can be
//   blurred, faded or turned like any view.
// - One layer per identity: in a living scene the host keeps the layer it was first
//   built with; a later, different layer is not swapped in.
//
// A tree built alone (no ViewGraph) draws the latest frame but neither listens for frames
// nor sets the layer's frame. A null layer shows nothing and takes no space.

#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv::platform::ui {

View PreviewLayerHost(std::shared_ptr<CaptureVideoPreviewLayer> layer);

} // namespace qv::platform::ui
