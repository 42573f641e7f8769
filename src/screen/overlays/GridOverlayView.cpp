#include "screen/overlays/GridOverlayView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/overlays/LineShape.hpp"

#include <string>

namespace qv {

using namespace platform::ui;

View GridOverlayView::body() const {
    return GeometryReader([grid = *this](const GeometryProxy& proxy) {
               const auto lines =
                   grid.gridType.lineCoordinates(proxy.size.width, proxy.size.height);
               return ZStack({ForEach(
                   lines,
                   [](const GridOverlayType::LineCoordinates& line) {
                       return std::to_string(line.id);
                   },
                   [&grid](const GridOverlayType::LineCoordinates& line) {
                       return LineShape({line.startPoint.x, line.startPoint.y},
                                        {line.endPoint.x, line.endPoint.y})
                           .stroke(grid.foreGroundColor, grid.lineWidth);
                   })});
           })
        .testTag("grid");
}

} // namespace qv
