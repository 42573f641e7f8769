#include "components/InstagramView.hpp"

#include "ComponentTesting.hpp"
#include "StubPrograms.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Clipboard.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;

struct InvitationScreen {
    InvitationScreen() { stubs.add("xdg-open"); }
    testing::StubPrograms stubs;
    testing::Bound<bool> isShowing{true};
    VirtualDispatch dispatch;
    ViewGraph graph{[this] { return InstagramView{isShowing.binding()}; }, testing::phone()};
    SyntheticInput input{graph, dispatch};
    double top(const std::string& text) {
        return graph.tree().get(Query::text(text)).screenFrame().minY();
    }
    std::vector<std::vector<std::string>> opened() {
        dispatch.runUntilIdle();
        return stubs.runs("xdg-open");
    }
};

TEST(InstagramView, TheTextsAndButtonsStandInOrderAndTheHandlesCanBeCopied) {
    InvitationScreen s;
    s.graph.settle();
    const std::vector<std::string> order{
        "Long Exposure Contest",
        "We will run a Long Exposure Contest soon. Please follow @quarnvesil on Instagram and "
        "watch out for the announcement.",
        "When sharing your images on Instagram tag the following for a chance to be featured:",
        "@quarnvesil",
        "#ShotWithQuarnVesil",
        "Follow on Instagram",
        "No, thanks!"};
    for (std::size_t i = 1; i < order.size(); ++i) {
        EXPECT_LT(s.top(order[i - 1]), s.top(order[i])) << order[i];
    }
    const Element& title = s.graph.tree().get(Query::text(order[0]));
    EXPECT_EQ(title.environment().font, Font::largeTitle());
    EXPECT_EQ(title.environment().multilineTextAlignment, TextAlignment::center);
    EXPECT_NE(s.graph.tree().find(Query::symbol("IGglyph")), nullptr);

    s.input.longPress(s.input.centerOf(Query::text("#ShotWithQuarnVesil")));
    EXPECT_EQ(Clipboard::text(), "#ShotWithQuarnVesil");
    s.input.longPress(s.input.centerOf(Query::text("@quarnvesil")));
    EXPECT_EQ(Clipboard::text(), "@quarnvesil");
    EXPECT_TRUE(s.isShowing.value);
}

// What a tap on "Follow on Instagram" opened and printed, with xdg-mime naming
// `schemeHandler` for the app link's scheme and xdg-open ending with `openStatus`.
struct Followed {
    std::vector<std::vector<std::string>> opened;
    std::string console;
    bool stillShowing;
};
Followed follow(const std::string& schemeHandler, int openStatus = 0) {
    InvitationScreen s;
    s.stubs.add("xdg-mime", 0, schemeHandler);
    s.stubs.add("xdg-open", openStatus);
    platform::ConsoleCapture console;
    s.input.tap(Query::text("Follow on Instagram"));
    auto opened = s.opened();
    return {opened, console.text(), s.isShowing.value};
}

TEST(InstagramView, FollowOpensTheAppLinkWhereTheDesktopHasAHandlerElseTheWebProfile) {
    const Followed app = follow("instagram-app.desktop\n");
    EXPECT_EQ(app.opened,
              (std::vector<std::vector<std::string>>{{"instagram://user?username=quarnvesil"}}));
    EXPECT_EQ(app.console, "open app URL\n");
    EXPECT_FALSE(app.stillShowing);

    const Followed web = follow("");
    EXPECT_EQ(web.opened,
              (std::vector<std::vector<std::string>>{{"https://www.instagram.com/quarnvesil/"}}));
    EXPECT_EQ(web.console, "open web URL\n");
    EXPECT_FALSE(web.stillShowing);

    // A failing xdg-open says so in one line; the view has closed all the same.
    const Followed failed = follow("", 4);
    EXPECT_EQ(std::count(failed.console.begin(), failed.console.end(), '\n'), 2) << failed.console;
    EXPECT_FALSE(failed.stillShowing);
}

TEST(InstagramView, NoThanksClosesWithoutOpeningAnything) {
    InvitationScreen s;
    s.input.tap(Query::text("No, thanks!"));
    EXPECT_TRUE(s.opened().empty());
    EXPECT_FALSE(s.isShowing.value);
}

} // namespace
} // namespace qv
