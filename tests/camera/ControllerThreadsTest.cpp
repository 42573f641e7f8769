// The controller writes its published state on the main queue only: the same script of
// start-up, camera switches, every mode change, automatic exposure off and a storm of
// camera reports runs on the virtual clock and on real threads (under ThreadSanitizer too).

#include "CameraTestSupport.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/state/StateChecks.hpp"

#include <atomic>
#include <chrono>
#include <thread>

namespace qv::testing {
namespace {

using platform::CaptureDeviceType;

constexpr SequenceMode allModes[] = {SequenceMode::frameAveraging, SequenceMode::lightTrails,
                                     SequenceMode::starTrails, SequenceMode::nightMode};

// Reports as a busy camera makes them: exposure, focus and pressure changing.
void reportStorm(platform::InMemoryCaptureDevice& device, int reports) {
    auto state = device.state();
    for (int i = 0; i < reports; ++i) {
        state.iso = float(100 + 10 * (i % 7));
        state.exposureTargetOffset = (i % 2 != 0) ? 1.0f : -1.0f;
        state.exposureTargetBias = float(i % 3) / 3;
        state.lensPosition = float(i % 10) / 10;
        state.isAdjustingFocus = i % 2 == 0;
        state.isAdjustingExposure = i % 3 == 0;
        state.focusMode = (i % 4 == 0) ? platform::FocusMode::autoFocus
                                       : platform::FocusMode::continuousAutoFocus;
        device.setState(state);
    }
}

// The script; `settle` lets the queues catch up (pumping main).
template <typename Settle>
void runScript(CameraManager& camera, platform::InMemoryCaptureDevice& wide, Settle settle) {
    settle();
    for (int i = 0; i < 3; ++i) {
        camera.switchCamera();
        settle();
    }
    for (const SequenceMode from : allModes) {
        for (const SequenceMode to : allModes) {
            camera.sequenceMode = from;
            camera.sequenceMode = to;
            settle();
        }
    }
    camera.sequenceMode = SequenceMode::frameAveraging;
    camera.isManualExposure = true;
    camera.isAutoExposure = false;
    settle();
    reportStorm(wide, 200);
    settle();
}

class ControllerThreadsTest : public CameraTest {};

TEST_F(ControllerThreadsTest, PublishedStateIsWrittenOnTheMainQueueOnly) {
    int offMainWrites = 0;
    platform::setOffMainWriteHandler([&] { ++offMainWrites; });
    install({wideCamera(), teleCamera(), ultraWideCamera()});
    camera = CameraManager::make(services());
    runScript(*camera, *cameras[0], [&] { dispatch.runFor(platform::Seconds(0.5)); });
    platform::setOffMainWriteHandler({});
    EXPECT_EQ(offMainWrites, 0);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    for (const auto& device : cameras) {
        EXPECT_EQ(device->misuseCount(), 0);
    }
}

// The same on real threads: the main queue drained by this thread, the camera's and the
// controller's queues on their own.
TEST(ControllerOnRealThreads, PublishedStateIsWrittenOnTheMainQueueOnly) {
    const auto wide = wideCamera();
    const auto tele = teleCamera();
    ControllerOnRealThreadsHarness harness({wide, tele});
    auto& camera = harness.camera;
    {
        // Drains the main queue until it has stayed empty for a few milliseconds.
        const auto settle = [&] {
            int quiet = 0;
            for (int round = 0; round < 2000 && quiet < 5; ++round) {
                quiet = platform::MainLoop::runDueWork() ? 0 : quiet + 1;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        std::thread reporter;
        runScript(*camera, *wide, [&] {
            settle();
            if (!reporter.joinable()) {
                // Reports from another thread while the controller works.
                reporter = std::thread([&] { reportStorm(*tele, 200); });
            }
        });
        reporter.join();
        settle();
        EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
        camera.reset();
        settle();
    }
    EXPECT_EQ(harness.offMainWrites.load(), 0);
}

// A block on one of the controller's queues holds it (locked from its weak reference, as a
// camera report does) when the owner lets go: the controller still ends on the main thread,
// before the harness destroys the services it uses (the photo library above all).
TEST(ControllerOnRealThreads, EndsOnTheMainThreadWhenABlockElsewhereHoldsItLast) {
    for (int round = 0; round < 20; ++round) {
        ControllerOnRealThreadsHarness harness({wideCamera()});
        harness.drainMain();
        std::weak_ptr<CameraManager> weak = harness.camera;
        harness.camera->sessionQueue()->async([held = weak.lock(), &weak]() mutable {
            while (weak.use_count() > 1) {
                std::this_thread::yield(); // until the owner has let go
            }
            held.reset();
        });
        harness.end();
        EXPECT_TRUE(weak.expired()) << "round " << round;
    }
}

} // namespace
} // namespace qv::testing
