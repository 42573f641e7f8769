#include "screen/overlays/ResultImageView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/OrientationAngle.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

namespace {

// The picture's upright size in points.
Size pointSize(const platform::RgbaImage& image) {
    const auto w = static_cast<double>(image.width()) / image.scale;
    const auto h = static_cast<double>(image.height()) / image.scale;
    return platform::swapsSides(image.orientation) ? Size{h, w} : Size{w, h};
}

} // namespace

double ResultImageView::zoomScale(Size space, Size picture, double wanted) {
    return std::max(minZoomScale,
                    std::min({picture.width / space.width, picture.height / space.height, wanted}));
}

View ResultImageView::body() const {
    return GeometryReader([view = *this](const GeometryProxy& proxy) {
               const Size picture = view.uiImage ? pointSize(*view.uiImage) : Size{};
               const double z = zoomScale(proxy.size, picture, view.steadyZoomScale.get());
               const Size pan = view.steadyOffset.get();
               return VStack({Spacer(),
                              Image(view.uiImage)
                                  .resizable()
                                  .scaleEffect(z)
                                  .offset(pan.width * z, pan.height * z)
                                  .scaledToFit()
                                  .testTag("result image")
                                  .padding(metrics::resultPicturePadding)
                                  // Served before the spacers, it fits the whole space.
                                  .layoutPriority(1),
                              Spacer()});
           })
        .rotationEffect(orientationAngle(deviceOrientation));
}

} // namespace qv
