// The access screen and the what's-new notice against the real controller: which right
// "Continue" asks for, what the checks show, and when the notice is due and how it ends.

#include "AppTesting.hpp"
#include "app/onboarding/AccessRightRow.hpp"
#include "app/onboarding/WhatsNewView.hpp"
#include "model/AppVersion.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/system/LinkOpener.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::testing {
namespace {

using namespace platform::ui;
using platform::PermissionService;

class AccessScreen : public AppTest {
protected:
    std::vector<std::string> checks() {
        settle();
        return {symbolsIn(tree(), "camera access").at(0), symbolsIn(tree(), "photos access").at(0)};
    }
};

TEST_F(AccessScreen, ContinueAsksForTheCameraThenForThePhotoLibrary) {
    withPermissions("");
    answerPrompts(true);
    launch();
    EXPECT_EQ(checks(), (std::vector<std::string>{"square", "square"}));
    tap(Query::tag("continue"));
    settle();
    EXPECT_EQ(prompts, (std::vector{PermissionService::camera, PermissionService::photos}));
    EXPECT_TRUE(shows(Query::tag("camera screen")));
}

TEST_F(AccessScreen, AfterARefusedCameraContinueOpensThePermissionsPanelAndThePhotosRowAsks) {
    withPermissions("");
    answerPrompts(false);
    int settingsPages = 0;
    platform::setSettingsPageHandler([&] { ++settingsPages; });
    launch();
    tap(Query::tag("continue"));
    EXPECT_EQ(prompts, std::vector{PermissionService::camera});
    EXPECT_EQ(controller().cameraState.get(), CameraState::cameraNotAllowed);
    EXPECT_EQ(checks(), (std::vector<std::string>{"square", "square"}));
    EXPECT_EQ(settingsPages, 0);

    tap(Query::tag("continue"));
    settle();
    EXPECT_EQ(prompts, std::vector{PermissionService::camera}) << "the camera is decided";
    EXPECT_EQ(settingsPages, 1) << "a refused camera is changed in the permissions panel";
    platform::setSettingsPageHandler({});
    tap(Query::tag("photos access"));
    EXPECT_EQ(prompts, (std::vector{PermissionService::camera, PermissionService::photos}));
    EXPECT_TRUE(shows(Query::tag("access screen")));
}

TEST_F(AccessScreen, WithTheCameraGrantedContinueAsksForThePhotoLibrary) {
    withPermissions("camera=authorized");
    answerPrompts(true);
    launch();
    EXPECT_EQ(checks(), (std::vector<std::string>{"checkmark.square", "square"}));
    tap(Query::tag("continue"));
    EXPECT_EQ(prompts, std::vector{PermissionService::photos});
    EXPECT_TRUE(shows(Query::tag("camera screen")));
}

TEST(AccessRightRow, AnExplanationLongerThanThreeLinesIsCutAtTheThird) {
    std::string explanation;
    for (int i = 0; i < 40; ++i) {
        explanation += "Allows you to save photos. ";
    }
    ViewTree tree(
        View(AccessRightRow{
                 "Photo library access", explanation, false, Color::lightGray(), {}, "row"})
            .frame(310, std::nullopt),
        phone());
    const auto info = tree.get(Query::text(explanation)).textInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->lines, 3);
    EXPECT_TRUE(info->truncated);
}

TEST(WhatsNewView, ALongBodyScrollsWhileTheHeadlineAndOKStayInView) {
    platform::VirtualDispatch dispatch;
    int confirmed = 0;
    ViewGraph graph([&] { return WhatsNewView{[&] { ++confirmed; }}; }, sceneOf(390, 420));
    SyntheticInput input(graph, dispatch);
    graph.update();
    const Rect screen{0, 0, 390, 420};
    const Rect area = graph.tree().get(Query::tag("whats new body")).screenFrame();
    const Rect body = graph.tree().get(Query::text(localizedString("WhatsNewBody"))).screenFrame();
    ASSERT_GT(body.height, area.height) << "the body is taller than its area";
    const Rect ok = graph.tree().get(Query::tag("whats new ok")).screenFrame();
    EXPECT_TRUE(screen.contains({ok.minX(), ok.minY()}) && screen.contains({ok.maxX(), ok.maxY()}))
        << "OK stays in view";

    input.drag({area.midX() + 5, area.maxY() - 10}, {area.midX() - 5, area.minY() + 10});
    const Rect scrolled =
        graph.tree().get(Query::text(localizedString("WhatsNewBody"))).screenFrame();
    EXPECT_LT(scrolled.minY(), body.minY());
    EXPECT_EQ(graph.tree().get(Query::tag("whats new ok")).screenFrame(), ok);
    input.tap(Query::text("OK"));
    EXPECT_EQ(confirmed, 1);
}

class WhatsNew : public AppTest {};

TEST_F(WhatsNew, OKRecordsTheVersionAndEndsTheNoticeInOneTurn) {
    launch();
    ASSERT_TRUE(controller().showWhatsNewView.get()) << "no version stored: due";
    ASSERT_TRUE(shows(Query::tag("whats new ok")));
    input().send(platform::input::PointerPhase::down, input().centerOf(Query::text("OK")));
    input().send(platform::input::PointerPhase::up, input().centerOf(Query::text("OK")));
    EXPECT_FALSE(controller().showWhatsNewView.get());
    EXPECT_EQ(settingsStore->store().stringValue(lastLaunchedVersionKey), platform::appVersion());
    EXPECT_FALSE(shows(Query::tag("whats new ok")));

    relaunch();
    EXPECT_FALSE(controller().showWhatsNewView.get()) << "once per version";
}

TEST_F(WhatsNew, IsDueForAnotherVersionAndTheAccessScreenRecordsNothing) {
    settingsStore->store().set(lastLaunchedVersionKey, std::string("0.9.0"));
    withPermissions("");
    launch();
    EXPECT_TRUE(controller().showWhatsNewView.get());
    EXPECT_TRUE(shows(Query::tag("access screen")));
    end();
    EXPECT_EQ(settingsStore->store().stringValue(lastLaunchedVersionKey), "0.9.0");
}

} // namespace
} // namespace qv::testing
