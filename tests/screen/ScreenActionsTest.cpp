// The screen's actions through its controls and gestures: the busy guard, the exposure
// bias drag, the double tap, the grid's long press, the magnifier and tap to focus.

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/CameraScreenActions.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::DeviceOrientation;
using testing::CameraScreenTest;

class ScreenActionsTest : public CameraScreenTest {
protected:
    // A drag on the preview from its centre, `dy` points down and 5 across.
    void dragPreview(double dy, double dx = 5) {
        const Point centre = frameOf("preview").center();
        tree();
        input->drag(centre, {centre.x + dx, centre.y + dy});
        graph->settle();
    }
    float deviceBias() { return simulated->devices().front()->exposureTargetBias(); }
};

TEST_F(ScreenActionsTest, WhileARunHasTimeLeftTheGuardedControlsDoNothing) {
    show();
    plan(10, SupportedImageFormat::JPEG); // 10 s
    release();
    ASSERT_TRUE(camera->isShootingWithTimeLeft());
    const auto overlays = camera->activeOverlayViews.get();
    const auto format = camera->settings.fileFormat.get();
    const auto focus = camera->focusMode.get();
    for (const char* control :
         {"grid button", "level button", "histogram button", "magnifier button", "gear",
          "mode badge", "format badge", "focus badge"}) {
        tap(control);
    }
    advance(0.5);
    EXPECT_EQ(camera->activeOverlayViews.get(), overlays);
    EXPECT_EQ(camera->settings.fileFormat.get(), format);
    EXPECT_EQ(camera->focusMode.get(), focus);
    EXPECT_FALSE(shows("lower region veil")) << "no mode selector";

    // The readouts still act, and the shutter aborts.
    tap("total time readout");
    EXPECT_TRUE(shows("total time selector"));
    tap("preview");
    tap("shutter");
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);

    // During a countdown they act.
    camera->settings.shutterReleaseDelay = Delay::five;
    tap("shutter");
    tap("grid button");
    EXPECT_TRUE(camera->activeOverlayViews->contains(ActiveOverlayViews::grid));
}

TEST_F(ScreenActionsTest, ADiagonalDragMovesTheBiasInThirdsAndAStraightOneDoesNot) {
    EXPECT_FLOAT_EQ(CameraScreenActions::evDragStops({5, -40}, DeviceOrientation::portrait), 0.7f);
    EXPECT_FLOAT_EQ(CameraScreenActions::evDragStops({5, -20}, DeviceOrientation::faceUp), 0.3f);
    EXPECT_FLOAT_EQ(CameraScreenActions::evDragStops({40, 5}, DeviceOrientation::landscapeLeft),
                    0.7f);
    EXPECT_FLOAT_EQ(
        CameraScreenActions::evDragStops({5, 40}, DeviceOrientation::portraitUpsideDown), 0.7f);

    show();
    const auto zero = camera->selectedOffsetIndex.get();
    struct Case {
        double dy;
        std::int64_t steps;
    };
    for (const Case c :
         {Case{-40, 2}, Case{-20, 1}, Case{-13, 0}, Case{40, -2}, Case{20, -1}, Case{13, 0}}) {
        SCOPED_TRACE(c.dy);
        camera->selectedOffsetIndex = zero;
        dragPreview(c.dy);
        advance(0.5);
        EXPECT_EQ(camera->selectedOffsetIndex.get(), zero + c.steps);
        EXPECT_FLOAT_EQ(deviceBias(), camera->selectedExposureBias());
    }
    camera->selectedOffsetIndex = zero;
    dragPreview(-80, 0); // straight up
    EXPECT_EQ(camera->selectedOffsetIndex.get(), zero)
        << "a mouse dragged straight changes nothing";
    EXPECT_NE(console().find("Long Drag end"), std::string::npos);

    // Both ends hold.
    camera->selectedOffsetIndex = 47;
    dragPreview(-40);
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 48);
    camera->selectedOffsetIndex = 1;
    dragPreview(40);
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 0);

    // Not in manual exposure.
    useManualExposure(1.0 / 60, 100);
    const auto manual = camera->selectedOffsetIndex.get();
    dragPreview(-40);
    EXPECT_EQ(camera->selectedOffsetIndex.get(), manual);
}

TEST_F(ScreenActionsTest, ADoubleTapClosesSelectorsOrReturnsToTheAutomaticExposure) {
    show();
    const Point centre = frameOf("preview").center();
    tap("mode badge");
    EXPECT_TRUE(shows("lower region veil"));
    input->doubleTap(centre);
    graph->settle();
    EXPECT_FALSE(shows("lower region veil")) << "the mode selector closed";

    useManualExposure(1.0 / 60, 100);
    input->doubleTap(centre);
    EXPECT_FALSE(camera->isManualExposure.get());

    camera->sequenceMode = SequenceMode::starTrails;
    camera->settings.starEV = -3.0;
    input->doubleTap(centre);
    EXPECT_EQ(camera->settings.starEV.get(), -1.0);
}

TEST_F(ScreenActionsTest, ALongPressOnTheGridButtonCyclesTheGrid) {
    show();
    const auto first = camera->gridOverlayType.get();
    tree();
    input->longPress(input->centerOf(Query::tag("grid button")));
    pump();
    EXPECT_NE(camera->gridOverlayType.get(), first);
    EXPECT_FALSE(camera->activeOverlayViews->contains(ActiveOverlayViews::grid))
        << "a long press is no tap";
}

TEST_F(ScreenActionsTest, TheGridShowsWhileTheCameraIsReadyAndTheLevelWhileItIsOn) {
    show();
    const auto inPreview = [&](const char* tag) {
        return findAll(get("preview"), Query::tag(tag)).size();
    };
    EXPECT_EQ(findAll(get("grid button"), Query::tag("grid")).size(), 1u) << "the icon";
    tap("grid button");
    EXPECT_EQ(inPreview("grid"), 1u);
    plan(3, SupportedImageFormat::JPEG);
    release();
    EXPECT_EQ(inPreview("grid"), 0u) << "not over a run";
    EXPECT_TRUE(camera->activeOverlayViews->contains(ActiveOverlayViews::grid));
    ASSERT_TRUE(dispatch.runUntil(
        [&] {
            return camera->cameraState.get() == CameraState::ready && !camera->seriesPosition();
        },
        platform::Seconds(20)));
    EXPECT_EQ(inPreview("grid"), 1u) << "back when the camera is ready";

    tap("level button");
    EXPECT_EQ(inPreview("grid"), 0u) << "one overlay at a time";
    EXPECT_EQ(inPreview("spirit level"), 1u);
}

TEST_F(ScreenActionsTest, TheMagnifierBoxStaysWithinFortyPercentOfThePreview) {
    show();
    tap("magnifier button");
    advance(0.5);
    const Rect preview = frameOf("preview");
    const Point start = frameOf("magnifier box").center();
    EXPECT_NEAR(start.x, preview.midX(), 1e-6);
    input->drag(start, {start.x + 500, start.y + 20});
    graph->settle();
    EXPECT_NEAR(frameOf("magnifier box").midX(), preview.midX() + 0.4 * 390, 1e-6);
    EXPECT_NEAR(frameOf("magnifier box").midY(), preview.midY() + 20, 1e-6);

    // A tap on the box focuses at its centre, in the preview's points.
    tap("magnifier box");
    EXPECT_NEAR(camera->focusPoint->x, 195 + 0.4 * 390, 1e-6);
    EXPECT_NEAR(camera->focusPoint->y, 260 + 20, 1e-6);
}

TEST_F(ScreenActionsTest, ATapOnThePreviewFocusesTheCameraThere) {
    show();
    const Rect preview = frameOf("preview");
    input->tap({preview.minX() + 100, preview.minY() + 130});
    pump();
    EXPECT_EQ(camera->focusPoint.get(), (platform::CapturePoint{100, 130}));
    advance(0.1);
    const auto interest = simulated->devices().front()->focusPointOfInterest();
    EXPECT_NEAR(interest.x, 130.0 / 520, 1e-9);
    EXPECT_NEAR(interest.y, 1 - 100.0 / 390, 1e-9);
}

} // namespace
} // namespace qv
