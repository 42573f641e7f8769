#include "screen/controls/LowerRegionView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"

namespace qv {

using namespace platform::ui;

View LowerRegionView::body() const {
    return ZStack({VStack({exposurePanel, controlBar, shutterRow}, HorizontalAlignment::center, 0),
                   If(isVeiled, [] {
                       return View(Color::black().opacity(metrics::lowerRegionVeilOpacity))
                           .testTag("lower region veil");
                   })});
}

} // namespace qv
