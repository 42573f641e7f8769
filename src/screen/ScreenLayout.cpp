#include "screen/ScreenLayout.hpp"

#include <algorithm>

namespace qv {

using platform::ui::Rect;
using platform::ui::Size;

double ScreenLayout::unitSize() const {
    return std::max(0.0, std::min(width() / metrics::unitsAcross,
                                  lowerRegion().height / metrics::unitsBelowPreview));
}

Size ScreenLayout::previewRegion() const {
    return {width(), width() * cameraAspectRatio};
}

Size ScreenLayout::lowerRegion() const {
    return {width(), std::max(0.0, height() - width() * cameraAspectRatio)};
}

Rect ScreenLayout::selectorSquare() const {
    return {0, height() - width(), width(), width()};
}

} // namespace qv
