#include "platform/system/LinkOpener.hpp"

#include "StubPrograms.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

using testing::StubPrograms;

Url url(std::string_view text) {
    std::optional<Url> parsed = Url::parse(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(*Url::parse("x:"));
}

std::optional<HandOffResult> open(VirtualDispatch& dispatch, const Url& address) {
    std::optional<HandOffResult> result;
    openURL(address, [&](const HandOffResult& r) { result = r; });
    dispatch.runUntilIdle();
    return result;
}

TEST(Url, TakesOnlyWhatAnAddressMayHold) {
    EXPECT_EQ(url("HTTPS://example.org/a?b=c;d&e=$(x)#f").scheme(), "https");
    EXPECT_EQ(url("app-settings:").string(), "app-settings:");
    EXPECT_EQ(url("instagram://user?username=a%20b").scheme(), "instagram");
    for (const char* bad :
         {"", "no scheme", ":x", "1http://a", "ht tp://a", "https://a b", "https://a\"b",
          "https://a\nb", "https://%zz", "https://%4", "https://\xc3\xa9"}) {
        EXPECT_FALSE(Url::parse(bad)) << bad;
    }
    EXPECT_EQ(percentEncoded("-a@b c,d+é", "@"), "-a@b%20c%2Cd%2B%C3%A9");
}

TEST(LinkOpener, WebPagesAndTheSettingsPageCanBeOpenedWhileXdgOpenIsThere) {
    StubPrograms stubs;
    stubs.add("xdg-open");
    stubs.add("xdg-mime", 0, "");
    ConsoleCapture console;
    EXPECT_TRUE(canOpenURL(url("https://example.org/privacy")));
    EXPECT_TRUE(canOpenURL(url("http://example.org")));
    EXPECT_TRUE(canOpenURL(url("app-settings:")));
    // An app link needs a desktop handler for its scheme.
    EXPECT_FALSE(canOpenURL(url("instagram://user?username=quarnvesil")));
    ASSERT_EQ(stubs.runs("xdg-mime").size(), 1u);
    EXPECT_EQ(stubs.runs("xdg-mime")[0],
              (std::vector<std::string>{"query", "default", "x-scheme-handler/instagram"}));
    stubs.add("xdg-mime", 0, "instagram-app.desktop\n");
    EXPECT_TRUE(canOpenURL(url("instagram://user?username=quarnvesil")));
    EXPECT_EQ(console.text(), "");
}

TEST(LinkOpener, WithoutXdgOpenNothingOpensAndOneLineSaysSo) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-mime", 0, "instagram-app.desktop\n");
    {
        ConsoleCapture console;
        EXPECT_FALSE(canOpenURL(url("https://example.org")));
        EXPECT_EQ(console.text(), "Web pages cannot be opened: xdg-open is not installed\n");
    }
    {
        ConsoleCapture console;
        EXPECT_FALSE(canOpenURL(url("instagram://user?username=quarnvesil")));
        EXPECT_TRUE(canOpenURL(url("app-settings:")));
        EXPECT_EQ(console.text(), "");
    }
    ConsoleCapture console;
    const auto result = open(dispatch, url("https://example.org"));
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->succeeded);
    EXPECT_EQ(console.text(), "Cannot open https://example.org: xdg-open is not installed\n");
}

TEST(LinkOpener, AnAddressReachesXdgOpenAsOneArgument) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-open");
    const std::string address = "https://example.org/a;b?c=$(x)&d='e'";
    ConsoleCapture console;
    const auto result = open(dispatch, url(address));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeeded);
    ASSERT_EQ(stubs.runs("xdg-open").size(), 1u);
    EXPECT_EQ(stubs.runs("xdg-open")[0], std::vector<std::string>{address});
    EXPECT_EQ(console.text(), "");
    openURL(url("https://example.org/no-completion"));
    dispatch.runUntilIdle();
    EXPECT_EQ(stubs.runs("xdg-open").size(), 2u);
}

TEST(LinkOpener, AFailingXdgOpenPrintsWhatItsStatusMeans) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-open", 4);
    ConsoleCapture console;
    const auto result = open(dispatch, url("instagram://user?username=quarnvesil"));
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->succeeded);
    EXPECT_EQ(result->failure, "Cannot open instagram://user?username=quarnvesil: xdg-open: the "
                               "action failed (status 4)");
    EXPECT_EQ(console.text(), result->failure + "\n");
}

TEST(LinkOpener, TheSettingsAddressShowsTheSettingsPageOfTheWindow) {
    VirtualDispatch dispatch;
    StubPrograms stubs; // no xdg-open: the settings page never needs it
    int shown = 0;
    setSettingsPageHandler([&] { ++shown; });
    auto result = open(dispatch, url("app-settings:"));
    EXPECT_EQ(shown, 1);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeeded);

    setSettingsPageHandler({});
    ConsoleCapture console;
    result = open(dispatch, url("app-settings:"));
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->succeeded);
    EXPECT_EQ(console.text(), "The settings page cannot be shown: the app has no window\n");
    EXPECT_EQ(shown, 1);
}

} // namespace
} // namespace qv::platform
