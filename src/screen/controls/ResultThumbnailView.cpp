#include "screen/controls/ResultThumbnailView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

View ResultThumbnailView::body() const {
    const auto image = libraryThumbnail;
    const bool shown = isShown && image != nullptr;
    const double u = unitSize;
    const double angle = rotation;
    return GeometryReader([=](const GeometryProxy& proxy) {
               const double side = std::min(
                   {proxy.size.width, proxy.size.height, metrics::thumbnailLargestUnits * u});
               return ZStack({If(shown,
                                 [&] {
                                     return Image(image)
                                         .resizable()
                                         .scaledToFill()
                                         .frame(side, side)
                                         .clipShape(
                                             RoundedRectangle(metrics::thumbnailCornerRadius,
                                                              RoundedCornerStyle::continuous))
                                         .clipped()
                                         .padding(metrics::thumbnailPaddingUnits * u)
                                         .rotationEffect(angle)
                                         .testTag("thumbnail picture");
                                 })})
                   .frame(proxy.size.width, proxy.size.height);
           })
        .contentShape(Rectangle())
        .onTapGesture(onTap)
        .testTag("thumbnail");
}

} // namespace qv
