#include "screen/overlays/OptionalImage.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View OptionalImage::body() const {
    return ZStack({If(uiImage != nullptr, [&] {
        const Point offset = imageOffset.get();
        return Image(uiImage).offset(offset.x, offset.y).testTag("optional image");
    })});
}

} // namespace qv
