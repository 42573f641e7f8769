#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/sensors/MotionManager.hpp"

#include <cmath>
#include <future>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace qv::platform {
namespace {

using namespace std::chrono_literals;

// The spirit level's angle of a quotient: the arc tangent in degrees to the nearest 0.2.
double levelAngle(double q) {
    return std::rint(std::atan(q) * 180 * 5 / std::numbers::pi) / 5;
}

struct Recorder {
    std::vector<Acceleration> samples;
    std::vector<std::string> errors;
    AccelerometerHandler handler() {
        return [this](const std::optional<AccelerometerData>& data,
                      const std::optional<MotionError>& error) {
            EXPECT_NE(data.has_value(), error.has_value());
            if (data) {
                samples.push_back(data->acceleration);
            } else {
                errors.push_back(error->description);
            }
        };
    }
};

void expectNear(const Acceleration& a, const Acceleration& b) {
    EXPECT_NEAR(a.x, b.x, 1e-4);
    EXPECT_NEAR(a.y, b.y, 1e-4);
    EXPECT_NEAR(a.z, b.z, 1e-4);
}

TEST(Motion, SamplesArriveAtTheIntervalOnTheOperationQueue) {
    VirtualDispatch dispatch;
    Device device;
    OperationQueue queue("motion", QoS::userInitiated);
    MotionManager motion(device);
    motion.setAccelerometerUpdateInterval(0.02);
    Recorder recorder;
    bool onQueue = true;
    motion.startAccelerometerUpdates(queue, [&](const auto& data, const auto& error) {
        onQueue = onQueue && queue.isCurrent();
        recorder.handler()(data, error);
    });
    dispatch.runFor(1s);
    EXPECT_EQ(recorder.samples.size(), 50u);
    EXPECT_TRUE(onQueue);
    expectNear(recorder.samples.back(), {0, -1, 0});
    ASSERT_TRUE(motion.accelerometerData());
    EXPECT_EQ(motion.accelerometerData()->timestamp, monotonicNow());

    motion.stopAccelerometerUpdates();
    dispatch.runFor(1s);
    EXPECT_EQ(recorder.samples.size(), 50u);
    EXPECT_FALSE(motion.isAccelerometerActive());
}

TEST(Motion, GravityFollowsTheOrientationAndTheTilt) {
    Device device;
    expectNear(device.gravity(), {0, -1, 0});
    device.tilt(10, 0); // ten presses of "tilt left"
    const Acceleration tilted = device.gravity();
    expectNear(tilted, {-0.1736, -0.9848, 0});
    EXPECT_DOUBLE_EQ(levelAngle(tilted.x / tilted.y), 10.0);

    device.level();
    device.setOrientation(DeviceOrientation::landscapeLeft);
    expectNear(device.gravity(), {-1, 0, 0});
    device.setOrientation(DeviceOrientation::faceUp);
    expectNear(device.gravity(), {0, 0, -1});
    device.setOrientation(DeviceOrientation::portrait);
    device.tilt(0, 30); // top away from the user: the screen turns upwards
    expectNear(device.gravity(), {0, -0.8660, -0.5});
    device.tilt(500, -500);
    EXPECT_EQ(device.roll(), 90);
    EXPECT_EQ(device.pitch(), -90);

    device.setGravity(Acceleration{0.5, -0.5, -0.70710678});
    EXPECT_EQ(device.gravity(), (Acceleration{0.5, -0.5, -0.70710678}));
}

TEST(Motion, AStopInsideTheHandlerEndsTheSamplesAndANewStartReplacesTheHandler) {
    VirtualDispatch dispatch;
    Device device;
    OperationQueue queue;
    MotionManager motion(device);
    motion.setAccelerometerUpdateInterval(0.02);
    int first = 0;
    motion.startAccelerometerUpdates(queue, [&](const auto&, const auto&) {
        if (++first == 3) {
            motion.stopAccelerometerUpdates();
        }
    });
    dispatch.runFor(1s);
    EXPECT_EQ(first, 3);

    int second = 0;
    motion.startAccelerometerUpdates(queue, [&](const auto&, const auto&) { ++first; });
    motion.startAccelerometerUpdates(queue, [&](const auto&, const auto&) { ++second; });
    dispatch.runFor(0.1s);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 5);
}

TEST(Motion, AFailingAccelerometerSendsErrors) {
    VirtualDispatch dispatch;
    Device device;
    OperationQueue queue;
    MotionManager motion(device);
    motion.setAccelerometerUpdateInterval(0.5);
    Recorder recorder;
    device.setAccelerometerFailing(true);
    motion.startAccelerometerUpdates(queue, recorder.handler());
    dispatch.runFor(1s);
    EXPECT_EQ(recorder.errors.size(), 2u);
    EXPECT_TRUE(recorder.samples.empty());
    device.setAccelerometerFailing(false);
    dispatch.runFor(0.5s);
    EXPECT_EQ(recorder.samples.size(), 1u);
}

TEST(Motion, AnOrientationChangePostsOneNoticeOnTheMainQueue) {
    VirtualDispatch dispatch;
    Device device;
    std::vector<DeviceOrientation> notices;
    Subscription subscription = device.observeOrientation([&](DeviceOrientation o) {
        EXPECT_TRUE(DispatchQueue::main().isCurrent());
        notices.push_back(o);
    });
    EXPECT_EQ(device.orientation(), DeviceOrientation::portrait);
    device.setOrientation(DeviceOrientation::landscapeRight);
    EXPECT_TRUE(notices.empty()); // posted, not sent inline
    device.setOrientation(DeviceOrientation::landscapeRight);
    dispatch.runUntilIdle();
    EXPECT_EQ(notices, std::vector{DeviceOrientation::landscapeRight});
    subscription.reset();
    device.setOrientation(DeviceOrientation::faceDown);
    dispatch.runUntilIdle();
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(name(DeviceOrientation::faceDown), "faceDown");
}

TEST(Motion, OnRealThreadsAStopFromTheHandlerIsTheLastSample) {
    Device device;
    OperationQueue queue("motion");
    MotionManager motion(device);
    motion.setAccelerometerUpdateInterval(0.001);
    std::atomic<int> samples{0};
    std::promise<void> stopped;
    motion.startAccelerometerUpdates(queue, [&](const auto&, const auto&) {
        if (++samples == 5) {
            motion.stopAccelerometerUpdates();
            stopped.set_value();
        }
    });
    stopped.get_future().wait();
    // Whatever was queued behind the stop runs now and must not reach the handler.
    std::promise<void> drained;
    queue.addOperation([&] { drained.set_value(); });
    drained.get_future().wait();
    EXPECT_EQ(samples.load(), 5);
}

} // namespace
} // namespace qv::platform
