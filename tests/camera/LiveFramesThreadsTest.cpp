// Live frames on real threads (also under ThreadSanitizer): the frame handler never waits
// for the main queue, and a publish not yet taken carries the newest frame.

#include "CameraTestSupport.hpp"

#include <thread>

namespace qv::testing {
namespace {

TEST(LiveFramesOnRealThreads, FramesSentWhileTheMainQueueIsHeldAreAllHandledWithOnePublish) {
    ControllerOnRealThreadsHarness harness({wideCamera()});
    auto& camera = *harness.camera;
    harness.drainMain();
    camera.toggleHistogram();
    int publishes = 0;
    auto counted = camera.histogram.subscribe([&](const auto&) { ++publishes; });

    // The main queue is not run meanwhile: each frame is handled once the one before is.
    constexpr int frames = 24;
    for (int i = 0; i < frames; ++i) {
        const auto frame = frameOf(64, 48, std::uint8_t(10 * i), 0, 0);
        while (!camera.videoOutput->deliver({frame, {}})) {
            std::this_thread::yield(); // the one before is still being handled
        }
    }
    camera.videoDataQueue()->sync([] {}); // the last one handled too
    harness.drainMain();

    EXPECT_EQ(publishes, 1);
    ASSERT_TRUE(camera.histogram.get());
    EXPECT_EQ(camera.histogram.get()->red[10 * (frames - 1)], 64u * 48u);
    camera.toggleHistogram();
    harness.end();
    EXPECT_EQ(harness.offMainWrites.load(), 0);
}

} // namespace
} // namespace qv::testing
