#include "screen/overlays/MessageView.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View MessageView::body() const {
    return ZStack({Color::black().opacity(opacity), If(!messageToShow.empty(), [&] {
                       return Text(messageToShow)
                           .font(Font::title2())
                           .foregroundColor(Color::lightGray())
                           .multilineTextAlignment(TextAlignment::leading)
                           .testTag("message");
                   })});
}

} // namespace qv
