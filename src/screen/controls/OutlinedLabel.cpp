#include "screen/controls/OutlinedLabel.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/ButtonBackground.hpp"

namespace qv {

using namespace platform::ui;

View OutlinedLabel::body() const {
    const double side = metrics::outlinedLabelUnits * unitSize;
    return ZStack(
        {ButtonBackground{unitSize}, If(showsLabel, [&] {
             return ZStack({RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous)
                                .stroke(color, metrics::stroke),
                            Text(text)
                                .font(Font::system(side * metrics::outlinedLabelFontShare))
                                .foregroundColor(color)})
                 .frame(side, side)
                 .rotationEffect(rotation);
         })});
}

} // namespace qv
