#include "platform/window/SystemOverlay.hpp"

#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/audio/AudioSession.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/system/LinkOpener.hpp"
#include "platform/system/OutputVolume.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/PhoneKeyActions.hpp"

#include <gtest/gtest.h>

namespace qv::platform::window {
namespace {

namespace fs = std::filesystem;
using ui::Query;

// The app's tree with the window's layer above it, as the window scene shows them.
class SystemOverlayTest : public ::testing::Test {
protected:
    SystemOverlayTest() {
        root = testing::freshTestFolder();
        permissions = std::make_unique<Permissions>(root / "permissions.json", PermissionOptions{});
        overlay = std::make_unique<SystemOverlay>(*permissions, [this] { graph->invalidate(); });
        graph = std::make_unique<ui::ViewGraph>([this] {
            return ui::ZStack(
                {ui::VStack({ui::Text("App").onTapGesture([this] { ++appTaps; }), ui::Spacer()}),
                 overlay->body()});
        });
        graph->setOptions({.size = {390, 844}, .safeAreaInsets = {47, 0, 34, 0}});
        graph->update();
    }

    PermissionStatus requestAndTap(PermissionService service, const std::string& tag) {
        std::optional<PermissionStatus> answer;
        permissions->request(service, [&](PermissionStatus status) { answer = status; });
        dispatch.runUntilIdle();
        graph->update();
        EXPECT_NE(graph->tree().find(Query::tag("permission-prompt")), nullptr);
        ui::SyntheticInput(*graph, dispatch).tap(Query::tag(tag));
        dispatch.runUntilIdle();
        EXPECT_TRUE(answer);
        return answer.value_or(PermissionStatus::restricted);
    }

    VirtualDispatch dispatch;
    testing::EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    fs::path root;
    std::unique_ptr<Permissions> permissions;
    std::unique_ptr<ui::ViewGraph> graph;
    std::unique_ptr<SystemOverlay> overlay;
    int appTaps = 0;
};

TEST_F(SystemOverlayTest, ThePromptAsksAboveTheAppAndKeepsItsAnswer) {
    EXPECT_EQ(requestAndTap(PermissionService::camera, "permission-allow"),
              PermissionStatus::authorized);
    EXPECT_EQ(Permissions(root / "permissions.json", {}).status(PermissionService::camera),
              PermissionStatus::authorized);
    EXPECT_EQ(requestAndTap(PermissionService::photos, "permission-deny"),
              PermissionStatus::denied);
    graph->update();
    EXPECT_EQ(graph->tree().find(Query::tag("permission-prompt")), nullptr);
}

TEST_F(SystemOverlayTest, WhileThePromptShowsTheAppTakesNoInput) {
    permissions->request(PermissionService::location, {});
    dispatch.runUntilIdle();
    graph->update();
    ASSERT_NE(graph->tree().find(Query::text(
                  "Quarn Vesil would like to use your location while you use the app.")),
              nullptr);
    ui::SyntheticInput input(*graph, dispatch);
    input.tap(Query::text("App"));
    EXPECT_EQ(appTaps, 0);
    input.tap(Query::tag("permission-allow"));
    input.tap(Query::text("App"));
    EXPECT_EQ(appTaps, 1);
}

TEST_F(SystemOverlayTest, TheSettingsAddressOpensThePanelWhoseChangesAreStored) {
    openURL(*Url::parse("app-settings:"));
    dispatch.runUntilIdle();
    graph->update();
    ASSERT_NE(graph->tree().find(Query::tag("settings-panel")), nullptr);
    EXPECT_NE(graph->tree().find(Query::text(
                  "Camera and Photos changes take effect the next time Quarn Vesil starts.")),
              nullptr);
    ui::SyntheticInput input(*graph, dispatch);
    input.tap(Query::text("Don't Allow"));
    input.tap(Query::text("While Using"));
    EXPECT_EQ(permissions->storedStatus(PermissionService::camera), PermissionStatus::denied);
    EXPECT_EQ(permissions->status(PermissionService::camera), PermissionStatus::notDetermined);
    EXPECT_EQ(permissions->status(PermissionService::location), PermissionStatus::whenInUse);
    input.tap(Query::tag("settings-done"));
    EXPECT_EQ(graph->tree().find(Query::tag("settings-panel")), nullptr);
}

TEST_F(SystemOverlayTest, AWindowThatGoesLeavesItsPromptUnansweredAndNothingStored) {
    std::optional<PermissionStatus> answer;
    permissions->request(PermissionService::camera,
                         [&](PermissionStatus status) { answer = status; });
    dispatch.runUntilIdle();
    overlay.reset();
    dispatch.runUntilIdle();
    EXPECT_EQ(answer, PermissionStatus::notDetermined);
    EXPECT_FALSE(fs::exists(root / "permissions.json"));
}

TEST(PhoneKeyActions, KeysTurnAndTiltThePhoneAndMoveTheVolume) {
    VirtualDispatch dispatch;
    Device& device = Device::current();
    device.setOrientation(DeviceOrientation::portrait);
    device.level();
    applyPhoneKey(PhoneKey::orientationLandscapeLeft);
    EXPECT_EQ(device.orientation(), DeviceOrientation::landscapeLeft);
    EXPECT_EQ(device.gravity(), (Acceleration{-1, 0, 0}));
    applyPhoneKey(PhoneKey::orientationPortrait);
    for (int i = 0; i < 10; ++i) {
        applyPhoneKey(PhoneKey::tiltLeft);
    }
    EXPECT_NEAR(device.gravity().x, -0.1736, 1e-4);
    applyPhoneKey(PhoneKey::tiltForward);
    EXPECT_EQ(device.pitch(), 1);
    applyPhoneKey(PhoneKey::tiltLevel);
    EXPECT_EQ(device.roll(), 0);
    EXPECT_EQ(device.pitch(), 0);

    OutputVolume::shared().setLevel(0.5f);
    AudioSession session;
    std::vector<float> reported; // on the session's queue
    Subscription subscription =
        session.observeOutputVolume([&](float level) { reported.push_back(level); });
    applyPhoneKey(PhoneKey::volumeUp);
    EXPECT_EQ(OutputVolume::shared().level(), 0.5625f);
    dispatch.runUntilIdle();
    EXPECT_EQ(reported, std::vector{0.5625f});
    applyPhoneKey(PhoneKey::volumeDown);
    applyPhoneKey(PhoneKey::volumeDown);
    EXPECT_EQ(OutputVolume::shared().level(), 0.4375f);
}

} // namespace
} // namespace qv::platform::window
