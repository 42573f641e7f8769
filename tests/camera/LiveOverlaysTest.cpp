// The overlay switches, the grid cycle and the live frames behind the histogram and the
// magnifier. Frames are handed to the video-data output as the session would hand them.

#include "CameraTestSupport.hpp"

namespace qv::testing {
namespace {

using platform::PixelBuffer;

class LiveOverlaysTest : public CameraTest {
protected:
    LiveOverlaysTest() {
        install({wideCamera()});
        start();
    }

    // Hands the frame to the output; true when it reached the controller's queue.
    bool send(std::shared_ptr<PixelBuffer> frame) {
        return camera->videoOutput->deliver({std::move(frame), {}});
    }

    ActiveOverlayViews overlays() const { return camera->activeOverlayViews.get(); }
};

TEST_F(LiveOverlaysTest, OneOverlayIsOnAtATimeAndSwitchingOffRemovesOnlyIt) {
    camera->toggleGrid();
    EXPECT_EQ(overlays(), ActiveOverlayViews::grid);
    camera->toggleHistogram();
    EXPECT_EQ(overlays(), ActiveOverlayViews::histogram);
    EXPECT_TRUE(camera->videoOutput->hasSampleBufferDelegate());
    camera->toggleHistogram();
    EXPECT_TRUE(overlays().isEmpty()); // not back to the grid
    EXPECT_FALSE(camera->videoOutput->hasSampleBufferDelegate());

    camera->toggleSpiritLevel();
    EXPECT_EQ(overlays(), ActiveOverlayViews::spiritLevel);
    pump();
    EXPECT_TRUE(camera->motionManager().isAccelerometerActive());

    camera->toggleMagnifier();
    EXPECT_EQ(overlays(), ActiveOverlayViews::magnifier);
    camera->previewUIImage = std::make_shared<const platform::RgbaImage>(4, 3, 8);
    camera->toggleHistogram(); // magnifier, then histogram: the magnifier's picture goes
    EXPECT_EQ(overlays(), ActiveOverlayViews::histogram);
    EXPECT_EQ(camera->previewUIImage.get(), nullptr);
    EXPECT_TRUE(camera->videoOutput->hasSampleBufferDelegate());

    // A set the switches never make (two members, as a release could leave it): switching
    // one off keeps the other.
    camera->activeOverlayViews =
        ActiveOverlayViews{ActiveOverlayViews::grid, ActiveOverlayViews::spiritLevel};
    camera->toggleGrid();
    EXPECT_EQ(overlays(), ActiveOverlayViews::spiritLevel);
}

TEST_F(LiveOverlaysTest, TheGridCyclesThroughItsThreeKinds) {
    const GridOverlayType initial = camera->gridOverlayType.get();
    EXPECT_EQ(initial, GridOverlayType::rectangular(3, 3));
    std::vector<GridOverlayType> seen;
    for (int i = 0; i < 3; ++i) {
        camera->cycleGridOverlay();
        EXPECT_EQ(camera->gridOverlayType.get(), seen.empty() ? initial : seen.back());
        pump();
        seen.push_back(camera->gridOverlayType.get());
    }
    EXPECT_EQ(seen, (std::vector{GridOverlayType::rectangular(4, 4), GridOverlayType::goldenRatio(),
                                 initial}));

    camera->gridOverlayType = GridOverlayType::rectangular(2, 5);
    camera->cycleGridOverlay();
    pump();
    EXPECT_EQ(camera->gridOverlayType.get(), GridOverlayType::goldenRatio());
}

TEST_F(LiveOverlaysTest, AFrameBecomesTheHistogramWithTheScaleOfTheScreen) {
    camera->toggleHistogram();
    ASSERT_TRUE(send(frameOf(1920, 1440, 255, 0, 0)));
    pump();

    ASSERT_TRUE(camera->previewImageScale.get());
    EXPECT_DOUBLE_EQ(*camera->previewImageScale.get(), 1170.0 / 1440); // 0.8125
    const auto& histogram = camera->histogram.get();
    ASSERT_TRUE(histogram);
    EXPECT_EQ(histogram->red[255], 1920u * 1440u);
    EXPECT_EQ(histogram->blue[0], 1920u * 1440u);
    EXPECT_EQ(camera->previewUIImage.get(), nullptr); // one product a frame

    // Switched off: the histogram and the scale go.
    camera->toggleHistogram();
    EXPECT_FALSE(camera->histogram.get());
    EXPECT_FALSE(camera->previewImageScale.get());
}

TEST_F(LiveOverlaysTest, AFrameBecomesTheMagnifiersUprightPicture) {
    camera->screenWidth = 390;
    camera->toggleMagnifier();
    ASSERT_TRUE(send(frameOf(1920, 1440, 10, 20, 30)));
    pump();

    const auto& picture = camera->previewUIImage.get();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width(), 1920u);
    EXPECT_EQ(picture->orientation, platform::ImageOrientation::right);
    EXPECT_EQ(picture->scale, 1.0);
    EXPECT_EQ(picture->row8(0)[0], 10); // red first
    EXPECT_FALSE(camera->histogram.get());
    EXPECT_DOUBLE_EQ(camera->previewImageFitScale(), 390.0 / 1440); // shown upright

    camera->toggleMagnifier();
    EXPECT_EQ(camera->previewUIImage.get(), nullptr);
    EXPECT_FALSE(camera->videoOutput->hasSampleBufferDelegate());
}

TEST_F(LiveOverlaysTest, AFrameInFlightWhenItsOverlayGoesPublishesNothing) {
    camera->toggleHistogram();
    ASSERT_TRUE(send(frameOf(64, 48, 0, 255, 0)));
    // Queued after the frame's handling and before the publish that handling queues.
    platform::DispatchQueue::main().async([this] { camera->toggleHistogram(); });
    pump();
    EXPECT_FALSE(camera->histogram.get());
    EXPECT_FALSE(camera->previewImageScale.get());

    // The same for a switch-off and on again: the frame belongs to the earlier switch.
    camera->toggleHistogram();
    ASSERT_TRUE(send(frameOf(64, 48, 0, 255, 0)));
    platform::DispatchQueue::main().async([this] {
        camera->toggleHistogram();
        camera->toggleHistogram();
    });
    pump();
    EXPECT_FALSE(camera->histogram.get());
}

TEST_F(LiveOverlaysTest, FramesUnderTheGridOrWithoutAPictureChangeNothing) {
    camera->toggleHistogram();
    ASSERT_TRUE(send(frameOf(64, 48, 255, 255, 255)));
    pump();
    const auto before = camera->histogram.get();
    ASSERT_TRUE(before);

    camera->toggleGrid(); // the delegate stays; its frames are dropped
    EXPECT_TRUE(camera->videoOutput->hasSampleBufferDelegate());
    ASSERT_TRUE(send(frameOf(64, 48, 0, 0, 0)));
    pump();
    EXPECT_EQ(camera->histogram.get()->red, before->red); // kept until switched off

    camera->toggleHistogram(); // on again, alone
    camera->videoOutput->sendSampleWithoutImage();
    pump();
    ASSERT_TRUE(send(PixelBuffer::make(64, 48, platform::pixelformat::bayer14RGGB)));
    pump();
    EXPECT_EQ(camera->histogram.get()->red, before->red);
    EXPECT_FALSE(camera->previewImageScale.get()); // no frame was converted
}

} // namespace
} // namespace qv::testing
