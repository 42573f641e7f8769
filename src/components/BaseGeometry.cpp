#include "components/BaseGeometry.hpp"

#include "platform/formatting/FloatText.hpp"

#include <algorithm>

namespace qv {

using platform::floatText;
using platform::ui::Size;

Size BaseGeometry::cameraPreviewSize() const {
    return {size.width, size.width * cameraAspectRatio};
}

Size BaseGeometry::controlsAreaSize() const {
    const double below = size.height - size.width * cameraAspectRatio;
    const double height = hasBottomSafeArea() ? below : safeAreaInsets.top + below;
    return {size.width, std::max(0.0, height)};
}

Size BaseGeometry::topBarSize() const {
    return {size.width, safeAreaInsets.top > 0 ? safeAreaInsets.top : size.height / 25};
}

std::string BaseGeometry::description() const {
    const auto& in = safeAreaInsets;
    return "BaseGeometry(size: (" + floatText(size.width) + ", " + floatText(size.height) +
           "), safeAreaInsets: EdgeInsets(top: " + floatText(in.top) +
           ", leading: " + floatText(in.leading) + ", bottom: " + floatText(in.bottom) +
           ", trailing: " + floatText(in.trailing) +
           "), cameraAspectRatio: " + floatText(cameraAspectRatio) + ")";
}

} // namespace qv
