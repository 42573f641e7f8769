// The shutter release button and the progress display through whole runs on the virtual
// clock.

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "platform/audio/AudioSession.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/PhoneKeyActions.hpp"
#include "screen/controls/ShutterReleaseButtonView.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::CameraScreenTest;

const Color::Rgba kLightGray{2.0 / 3, 2.0 / 3, 2.0 / 3, 1};
const Color::Rgba kDarkGray{1.0 / 3, 1.0 / 3, 1.0 / 3, 1};

class ShutterAndProgressTest : public CameraScreenTest {
protected:
    std::string digits() {
        const auto texts = findAll(get("shutter"), Query::kind("Text"));
        return texts.empty() ? std::string{} : texts.front()->text();
    }
    Color::Rgba ringColor() { return get("shutter ring").shapeInfo()->color; }
    // Until the run has finished (its results saved), so the shutter releases again.
    void waitUntilReady() {
        ASSERT_TRUE(dispatch.runUntil(
            [&] {
                return camera->cameraState.get() == CameraState::ready && !camera->seriesPosition();
            },
            platform::Seconds(60)));
        graph->settle();
    }
};

TEST_F(ShutterAndProgressTest, TheButtonCountsDownThenStopsAndATapAborts) {
    show();
    camera->settings.shutterReleaseDelay = Delay::five;
    plan(13, SupportedImageFormat::JPEG);
    camera->settings.shutterReleaseDelay = Delay::five;
    EXPECT_FALSE(findAll(get("shutter"), Query::symbol("timer")).empty());
    EXPECT_EQ(ringColor(), kLightGray);

    tap("shutter");
    std::vector<std::string> shown;
    for (int tick = 0; tick < 30 && camera->cameraState.get() == CameraState::countdown; ++tick) {
        advance(0.2);
        if (const std::string d = digits(); !d.empty() && (shown.empty() || shown.back() != d)) {
            shown.push_back(d);
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"5", "4", "3", "2", "1"}));
    ASSERT_EQ(camera->cameraState.get(), CameraState::shooting);
    EXPECT_TRUE(shows("shutter stop"));
    EXPECT_FALSE(shows("shutter disc"));
    EXPECT_EQ(get("shutter stop").shapeInfo()->color, kLightGray);

    tap("shutter");
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_FALSE(shows("shutter stop"));
}

TEST_F(ShutterAndProgressTest, TheButtonIsDarkWhileTheCameraIsBusyAndStillTakesATap) {
    show();
    camera->cameraState = CameraState::finishing;
    EXPECT_EQ(ringColor(), kDarkGray);
    EXPECT_EQ(get("shutter disc").shapeInfo()->color, kDarkGray);
    tap("shutter"); // the controller takes a press while finishing as an abort
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);

    camera->cameraState = CameraState::starting;
    EXPECT_EQ(ringColor(), kDarkGray);
    tap("shutter"); // and ignores it while starting
    EXPECT_EQ(camera->cameraState.get(), CameraState::starting);
    camera->cameraState = CameraState::ready;
}

TEST(ShutterReleaseButtonView, ItsSizesFollowTheShorterSide) {
    const auto button = [](CameraState state, Delay delay) {
        return View(ShutterReleaseButtonView{state, delay, [] { return std::int64_t{0}; }, [] {}});
    };
    const ViewTree tree(button(CameraState::ready, Delay::two).frame(100, 60),
                        testing::sceneOf(100, 60));
    EXPECT_DOUBLE_EQ(ShutterReleaseButtonView::ringRadius(100, 60), 24);
    EXPECT_DOUBLE_EQ(ShutterReleaseButtonView::discRadius(100, 60), 20.4);
    const Point start = testing::startOf(tree.get(Query::tag("shutter ring")).shapeInfo()->path);
    EXPECT_NEAR(start.x, 50 + 24, 1e-6) << "a ring of radius 24 about the centre";
    EXPECT_NEAR(start.y, 30, 1e-6);
    EXPECT_NEAR(tree.get(Query::symbol("timer")).environment().font.size, 24.48, 1e-9);

    // The countdown's digits sit in a square of 1.6 disc radii.
    const ViewTree counting(
        View(ShutterReleaseButtonView{.cameraState = CameraState::countdown,
                                      .shutterReleaseDelay = Delay::five,
                                      .remainingCountdownSeconds = [] { return std::int64_t{3}; },
                                      .onTap = [] {},
                                      .timeUntilShutterRelease = State<std::int64_t>(3)})
            .frame(100, 60),
        testing::sceneOf(100, 60));
    const Element* digits = counting.get(Query::text("3")).parent();
    while (digits != nullptr && digits->kind() != "frame") {
        digits = digits->parent();
    }
    ASSERT_NE(digits, nullptr);
    EXPECT_NEAR(digits->frame().width, 32.64, 1e-9);

    const ViewTree large(button(CameraState::ready, Delay::off), testing::sceneOf(300, 300));
    EXPECT_EQ(large.get(Query::tag("shutter")).frame().width, 100) << "at most 100 points";
}

TEST_F(ShutterAndProgressTest, TheVolumeKeyReleasesWhenTheSettingIsOn) {
    show();
    plan(5, SupportedImageFormat::JPEG);
    camera->settings.useVolumeShutter = true;
    advance(1.5);
    platform::window::applyPhoneKey(platform::window::PhoneKey::volumeUp);
    EXPECT_TRUE(dispatch.runUntil(
        [&] { return camera->cameraState.get() == CameraState::shooting; }, platform::Seconds(20)));
    camera->settings.useVolumeShutter = false;
}

TEST_F(ShutterAndProgressTest, ARunShowsItsTimeLeftAndTheRingEmpties) {
    show();
    useManualExposure(1, 100);
    plan(0, SupportedImageFormat::JPEG);
    release();
    EXPECT_FALSE(shows("progress")) << "a single frame";
    waitUntilReady();

    plan(23, SupportedImageFormat::JPEG); // 150 s
    release();
    ASSERT_TRUE(dispatch.runUntil([&] { return camera->exposureSequence->remainingTime() <= 125; },
                                  platform::Seconds(60)));
    advance(0.2); // the display's next copy
    EXPECT_EQ(textIn("progress time"), "2m 5s");
    EXPECT_FALSE(shows("progress series"));
    // The arc ends where the share left says: 125 / 150 of the circle from 12 o'clock.
    const auto arc = findAll(get("progress arc"), Query::kind("Shape")).front()->shapeInfo()->path;
    const Rect circle = get("progress track").screenFrame();
    const Point end = testing::endOf(arc);
    const double turn = std::atan2(end.x - circle.midX(), circle.midY() - end.y);
    EXPECT_NEAR(std::fmod(turn + 2 * M_PI, 2 * M_PI), 2 * M_PI * 125 / 150, 0.05);

    camera->deviceOrientation = platform::DeviceOrientation::landscapeLeft;
    advance(0.2);
    const Transform turned = get("progress").toScreen();
    EXPECT_NEAR(turned.b, 1, 1e-9) << "a quarter turn";
    tap("shutter");
    waitUntilReady();
}

TEST_F(ShutterAndProgressTest, ASeriesCountsItsRunsAsItWasReleased) {
    show();
    plan(3, SupportedImageFormat::JPEG);  // 3 s
    camera->selectedRepetitionsIndex = 2; // 3 runs
    camera->selectedIntervalDelayIndex = 2;
    tap("shutter");
    std::vector<std::string> seen;
    for (int step = 0; step < 200 && !(camera->cameraState.get() == CameraState::ready &&
                                       camera->remainingSequences.get() == 0 && !seen.empty());
         ++step) {
        advance(0.2);
        if (shows("progress series")) {
            const auto texts = findAll(get("progress series"), Query::kind("Text"));
            const std::string text = texts.front()->text();
            if (seen.empty() || seen.back() != text) {
                seen.push_back(text);
                camera->selectedRepetitionsIndex = 1; // the count changes meanwhile
            }
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"1 of 3", "2 of 3", "3 of 3"}));
}

TEST_F(ShutterAndProgressTest, WithThePreviewOnTheMergedPictureReplacesTheRing) {
    show();
    camera->settings.showImagePreviewWhileShooting = true;
    plan(10, SupportedImageFormat::JPEG);
    camera->selectedRepetitionsIndex = 1;
    release();
    ASSERT_TRUE(dispatch.runUntil(
        [&] { return camera->previewImageModel()->previewImage.get() != nullptr; },
        platform::Seconds(10)));
    graph->settle();
    EXPECT_TRUE(shows("merged picture"));
    EXPECT_FALSE(shows("progress arc"));
    EXPECT_FALSE(shows("progress track"));
    EXPECT_FALSE(shows("progress series"));
    EXPECT_FALSE(textIn("progress time").empty());
    tap("shutter");
    waitUntilReady();

    camera->sequenceMode = SequenceMode::nightMode;
    camera->selectedNightModeShutterSpeedIndex = 9; // 10 s
    release();
    EXPECT_TRUE(shows("progress track")) << "night mode keeps the ring";
    EXPECT_TRUE(shows("progress series"));
}

} // namespace
} // namespace qv
