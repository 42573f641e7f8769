#pragma once
// Bitmaps of the media layer's images: a decoded picture, a live frame or a merged
// result (an RgbaImage) made drawable. The picture is turned upright by its
// orientation ("right": the stored rows turned a quarter clockwise, so its upright
// size is the stored height by the stored width), converted from its colour space
// (Display P3, linear sRGB) to sRGB through lcms2 and from 16 to 8 bits, and
// premultiplied. The bitmap's scale is the image's (pixels per point).

#include "platform/media/RgbaImage.hpp"
#include "platform/ui/drawing/Bitmap.hpp"

#include <memory>

namespace qv::platform::ui {

/// The upright bitmap of `image`; empty for an empty image.
Bitmap bitmapFromImage(const RgbaImage& image);

/// The bitmap of one image object, converted at the first call and kept while the
/// object lives: views rebuilt many times a second over the same image convert it
/// once. Any thread.
Bitmap bitmapOf(const std::shared_ptr<const RgbaImage>& image);

} // namespace qv::platform::ui
