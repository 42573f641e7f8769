#include "screen/controls/ShutterRowView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/IconButton.hpp"

namespace qv {

using namespace platform::ui;

View ShutterRowView::body() const {
    const double u = unitSize;
    const View gear = ZStack({IconButton{Image::system("gear"), metrics::inActiveColor(),
                                         Font::title(), rotation, u}})
                          .onTapGesture(onGear)
                          .testTag("gear");
    const View buttons =
        HStack({View(gridButton).padding(Edges::leading, u), gear.padding(Edges::horizontal, u)},
               VerticalAlignment::center, 0);
    return ZStack({View(metrics::backgroundColor()),
                   HStack({View(thumbnail).padding(u), Spacer(), buttons},
                          VerticalAlignment::center, 0),
                   View(shutterButton).rotationEffect(rotation)})
        .frame(FrameLimits{}
                   .withMinWidth(width)
                   .withIdealWidth(width)
                   .withMaxWidth(width)
                   .withMinHeight(metrics::shutterRowMinimumUnits * u)
                   .withIdealHeight(metrics::shutterRowIdealUnits * u)
                   .withMaxHeight(metrics::shutterRowIdealUnits * u))
        .scaledToFit();
}

} // namespace qv
