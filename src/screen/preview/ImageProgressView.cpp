#include "screen/preview/ImageProgressView.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View ImageProgressView::body() const {
    return ZStack({If(previewImage != nullptr, [&] {
        return Image(previewImage).resizable().scaledToFit().testTag("merged picture");
    })});
}

} // namespace qv
