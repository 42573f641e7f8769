#include "screen/overlays/CameraPreviewView.hpp"

#include "platform/ui/layers/PreviewLayerHost.hpp"

namespace qv {

platform::ui::View CameraPreviewView::body() const {
    return platform::ui::PreviewLayerHost(previewLayer).testTag("camera preview");
}

} // namespace qv
