#include "app/onboarding/WhatsNewView.hpp"

#include "app/Metrics.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;
using namespace appmetrics;

View WhatsNewView::body() const {
    return ZStack({View(Color::systemBackground()).ignoresSafeArea(),
                   VStack({VStack({Text("WhatsNewHeadline")
                                       .font(Font::title())
                                       .padding(Edges::vertical, whatsNewTextPadding),
                                   ScrollView(Text("WhatsNewBody")
                                                  .font(Font::body())
                                                  .padding(Edges::vertical, whatsNewTextPadding),
                                              true)
                                       .testTag("whats new body")},
                                  HorizontalAlignment::leading),
                           Spacer(),
                           View(Button("OK", onConfirm).buttonStyle(ButtonStyle::automatic))
                               .padding()
                               .testTag("whats new ok")})
                       .padding(Edges::horizontal, whatsNewSidePadding)})
        .colorScheme(ColorScheme::dark);
}

} // namespace qv
