#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv {

// The finished picture in the result cover: fitted into the space it is given (keeping
// its aspect ratio, 10 points in from every edge), centred, and turned with the phone so
// it reads upright. The whole space turns; it is not resized at a quarter turn.
//
// The picture is drawn scaled by the zoom z about its centre and moved by the pan p:
// z = max(minZoomScale, min(iw / w, ih / h, steadyZoomScale)) and p = steadyOffset x z,
// with (w, h) the space and (iw, ih) the picture's size in points. No gesture changes the
// zoom or the pan, so a picture shows at z = 1, p = 0: fitted and centred, also when it is
// smaller than the space.
struct ResultImageView {
    std::shared_ptr<const platform::RgbaImage> uiImage;
    platform::DeviceOrientation deviceOrientation = platform::DeviceOrientation::portrait;

    static constexpr double minZoomScale = 1.0;
    platform::ui::State<double> steadyZoomScale{1.0};
    platform::ui::State<platform::ui::Size> steadyOffset{};

    platform::ui::View body() const; // the picture is tagged "result image"

    static double zoomScale(platform::ui::Size space, platform::ui::Size picture, double wanted);
};

} // namespace qv
