#include "camera/MotionLevel.hpp"

#include "camera/CameraManager.hpp"
#include "platform/console/Console.hpp"
#include "platform/state/Transaction.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qv {

using platform::DeviceOrientation;

double levelDegrees(double numerator, double denominator) {
    return std::rint(std::atan(numerator / denominator) * 180 * 5 / std::numbers::pi) / 5;
}

MotionLevel::MotionLevel(CameraManager& owner, platform::Device& device)
    : camera(owner), motionManager_(device) {
    motionManager_.setAccelerometerUpdateInterval(updateInterval);
}

void MotionLevel::startAccelerometerUpdates() {
    camera.onMain([](CameraManager& self) {
        MotionLevel& level = self.motion_;
        self.deviceOrientation = DeviceOrientation::unknown;
        level.emptySmoothedAcceleration();
        level.motionManager_.startAccelerometerUpdates(
            level.motionOperationQueue_,
            [weak = self.weak_from_this()](const auto& data, const auto&) {
                if (const auto owner = weak.lock()) {
                    owner->motion_.handleAcceleration(data);
                }
            });
    });
}

void MotionLevel::emptySmoothedAcceleration() {
    motionOperationQueue_.addOperation([weak = camera.weak_from_this()] {
        if (const auto self = weak.lock()) {
            self->motion_.smoothedAcceleration_.removeAll();
        }
    });
}

void MotionLevel::handleAcceleration(const std::optional<platform::AccelerometerData>& data) {
    // Tested for errors too, so a failing sensor stops as well.
    if (!camera.activeOverlayViews.load().contains(ActiveOverlayViews::spiritLevel)) {
        motionManager_.stopAccelerometerUpdates();
    }
    if (!data) {
        return;
    }
    const platform::Acceleration sample = data->acceleration;
    if (camera.deviceOrientation.load() == DeviceOrientation::unknown) {
        camera.onMain(
            [sample](CameraManager& self) { self.motion_.orientationFromGravity(sample); });
    }
    const platform::Acceleration average = smoothedAcceleration_.add(sample.x, sample.y, sample.z);
    camera.onMain([average](CameraManager& self) { self.motion_.publishLevelAngles(average); });
}

void MotionLevel::publishLevelAngles(platform::Acceleration average) {
    camera.angleXY = Angle::fromDegrees(levelDegrees(average.x, average.y));
    camera.angleXZ = Angle::fromDegrees(levelDegrees(average.x, average.z));
    camera.angleYZ = Angle::fromDegrees(levelDegrees(average.y, average.z));
}

void MotionLevel::orientationFromGravity(platform::Acceleration sample) {
    if (std::isnan(sample.x) || std::isnan(sample.y) || std::isnan(sample.z)) {
        platform::print("strange...");
        return;
    }
    const double x = std::abs(sample.x);
    const double y = std::abs(sample.y);
    const double z = std::abs(sample.z);
    const double largest = std::max({x, y, z});
    DeviceOrientation orientation;
    if (x == largest) { // ties go to x, then y
        orientation =
            sample.x < 0 ? DeviceOrientation::landscapeLeft : DeviceOrientation::landscapeRight;
    } else if (y == largest) {
        orientation =
            sample.y < 0 ? DeviceOrientation::portrait : DeviceOrientation::portraitUpsideDown;
    } else {
        orientation = sample.z < 0 ? DeviceOrientation::faceUp : DeviceOrientation::faceDown;
    }
    camera.deviceOrientation = orientation;
}

} // namespace qv
