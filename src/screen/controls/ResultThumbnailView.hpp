#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <memory>

namespace qv {

// The newest picture of the photo library, at the left of the shutter row: a rounded square
// of up to 8 layout units filled with the picture, turned with the phone, shown only while
// the camera is ready. The whole space it is given stays tappable, also while empty.
struct ResultThumbnailView {
    std::shared_ptr<const platform::RgbaImage> libraryThumbnail;
    bool isShown = false; // the camera is ready
    double rotation = 0;  // radians
    double unitSize = 0;
    std::function<void()> onTap; // the "thumbnail" action

    platform::ui::View body() const; // tagged "thumbnail"; the picture "thumbnail picture"
};

} // namespace qv
