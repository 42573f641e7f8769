// Live frames around a run: the camera's own frames feed the histogram, stop while a run
// shoots and come back once it has ended, whatever overlay is on.

#include "RunTestSupport.hpp"

namespace qv::testing {
namespace {

class LiveFramesRunTest : public RunTest {
protected:
    void SetUp() override {
        startCamera();
        plan(1, SupportedImageFormat::JPEG); // one second
    }
};

TEST_F(LiveFramesRunTest, FramesStopForARunAndComeBackAfterIt) {
    camera->toggleHistogram();
    wait(0.1);
    ASSERT_TRUE(camera->histogram.get()); // from the camera's own frames
    EXPECT_DOUBLE_EQ(*camera->previewImageScale.get(), 1170.0 / 48);

    press();
    ASSERT_TRUE(dispatch.runUntil(
        [&] { return camera->cameraState.get() == CameraState::shooting; }, platform::Seconds(2)));
    EXPECT_FALSE(camera->videoOutput->hasSampleBufferDelegate());
    EXPECT_FALSE(camera->histogram.get()); // the release clears it and its overlay
    EXPECT_TRUE(camera->activeOverlayViews.get().isEmpty());

    wait(3);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_TRUE(camera->videoOutput->hasSampleBufferDelegate());
    wait(0.2);
    EXPECT_FALSE(camera->histogram.get()); // frames come, no overlay shows them
}

} // namespace
} // namespace qv::testing
