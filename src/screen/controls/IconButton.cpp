#include "screen/controls/IconButton.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/controls/ButtonBackground.hpp"

namespace qv {

using namespace platform::ui;

View IconButton::body() const {
    return ZStack({ButtonBackground{unitSize},
                   icon.font(font).foregroundColor(color).rotationEffect(rotation)});
}

} // namespace qv
