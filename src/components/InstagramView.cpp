#include "components/InstagramView.hpp"

#include "platform/console/Console.hpp"
#include "platform/system/LinkOpener.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Views.hpp"

#include <string>

namespace qv {

using namespace platform::ui;

namespace {

constexpr double kStackSpacing = 20;
constexpr double kTitlePadding = 20;
constexpr double kGlyphMinimum = 20;
constexpr double kGlyphMaximum = 30;
constexpr double kLabelPadding = 10;

// The account as the texts show it: "@" and the handle.
std::string handleText() {
    std::string text = "@";
    text += kPhotoAccountHandle;
    return text;
}

View followLabel() {
    View glyph = Image::named("IGglyph")
                     .resizable()
                     .scaledToFit()
                     .colorInvert()
                     .frame(FrameLimits{}
                                .withMinWidth(kGlyphMinimum)
                                .withIdealWidth(kGlyphMinimum)
                                .withMaxWidth(kGlyphMaximum)
                                .withMinHeight(kGlyphMinimum)
                                .withIdealHeight(kGlyphMinimum)
                                .withMaxHeight(kGlyphMaximum))
                     .padding(kLabelPadding);
    return HStack({glyph, Text("Follow on Instagram").font(Font::title2()).padding(kLabelPadding)});
}

} // namespace

void InstagramView::followOnInstagram() {
    const std::string handle(kPhotoAccountHandle);
    const auto app = platform::Url::parse("instagram://user?username=" + handle);
    if (!app) {
        return;
    }
    const auto web =
        platform::Url::parse("https://" + std::string(kPhotoSiteHost) + "/" + handle + "/");
    if (!web) {
        return;
    }
    if (platform::canOpenURL(*app)) {
        platform::print("open app URL");
        platform::openURL(*app);
    } else {
        platform::print("open web URL");
        platform::openURL(*web);
    }
}

View InstagramView::body() const {
    const auto shows = isShowing;
    auto close = [shows] { shows.set(false); };
    const std::string handle = handleText();
    // The two long texts keep the height of all their lines: an equal share of the
    // column with the spacers around them would cut each to one line.
    View texts =
        VStack({Text("We will run a Long Exposure Contest soon. Please follow " + handle +
                     " on Instagram and watch out for the announcement.")
                    .font(Font::title2())
                    .fixedSize(false, true),
                Text("When sharing your images on Instagram tag the following for a chance to "
                     "be featured:")
                    .font(Font::title2())
                    .fixedSize(false, true),
                Text(handle).font(Font::title()).textSelection(true),
                Text("#ShotWithQuarnVesil").font(Font::title()).textSelection(true)},
               HorizontalAlignment::center, kStackSpacing);
    View buttons = VStack({Button(followLabel(),
                                  [close] {
                                      followOnInstagram();
                                      close();
                                  })
                               .buttonStyle(ButtonStyle::borderedProminent),
                           Button("No, thanks!", close, ButtonRole::cancel).padding()},
                          HorizontalAlignment::center, kStackSpacing);
    return ZStack({View(Color::black()).ignoresSafeArea(),
                   VStack({Spacer(),
                           Text("Long Exposure Contest")
                               .font(Font::largeTitle())
                               .padding(Edges::vertical, kTitlePadding),
                           Spacer(), texts, Spacer(), Spacer(), buttons})})
        .colorScheme(ColorScheme::dark)
        .multilineTextAlignment(TextAlignment::center);
}

} // namespace qv
