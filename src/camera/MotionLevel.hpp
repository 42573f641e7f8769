#pragma once

#include "camera/SmoothedAcceleration.hpp"
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/sensors/MotionManager.hpp"

#include <memory>

namespace qv {

class CameraManager;

// The accelerometer behind the spirit level: its samples, every 0.02 s on the motion
// operation queue, are averaged over the latest ten into three tilt angles (angleXY,
// angleXZ, angleYZ, each the arc tangent of one component over another in degrees, rounded
// to the nearest 0.2 with halves to even), and the first sample after each start estimates
// how the phone is held. A sample that finds the spirit level off stops the updates (and
// is still published), so updates started without the level deliver one sample; an error
// from the sensor stops them the same way.
//
// Threads: start and the emptying of the average may be called from any thread; the
// average is touched only on the motion operation queue, where the emptying is queued
// ahead of the samples that follow it. The angles and the orientation are written on the
// main queue.
class MotionLevel {
public:
    static constexpr double updateInterval = 0.02; // seconds

    MotionLevel(CameraManager& owner, platform::Device& device);
    MotionLevel(const MotionLevel&) = delete;
    MotionLevel& operator=(const MotionLevel&) = delete;

    // On the main queue: orientation unknown (so the next sample estimates it), the average
    // emptied, then the updates started.
    void startAccelerometerUpdates();
    void emptySmoothedAcceleration();

    platform::MotionManager& motionManager() { return motionManager_; }

private:
    void handleAcceleration(const std::optional<platform::AccelerometerData>& data);
    void publishLevelAngles(platform::Acceleration average);
    void orientationFromGravity(platform::Acceleration sample);

    CameraManager& camera;
    platform::OperationQueue motionOperationQueue_{"motion", platform::QoS::userInitiated};
    SmoothedAcceleration smoothedAcceleration_{10}; // motionOperationQueue_ only
    // Declared after its queue, so its end (which stops the updates) comes first.
    platform::MotionManager motionManager_;
};

// The level angle of a quotient: atan(q) in degrees, rounded to the nearest 0.2 (halves to
// the even neighbour); a zero denominator gives +-90, 0 / 0 gives NaN.
double levelDegrees(double numerator, double denominator);

} // namespace qv
