#include "platform/sensors/Device.hpp"

#include "platform/dispatch/DispatchQueue.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qv::platform {

namespace {

Acceleration gravityHeld(DeviceOrientation orientation) {
    switch (orientation) {
    case DeviceOrientation::portraitUpsideDown:
        return {0, 1, 0};
    case DeviceOrientation::landscapeLeft:
        return {-1, 0, 0};
    case DeviceOrientation::landscapeRight:
        return {1, 0, 0};
    case DeviceOrientation::faceUp:
        return {0, 0, -1};
    case DeviceOrientation::faceDown:
        return {0, 0, 1};
    case DeviceOrientation::unknown:
    case DeviceOrientation::portrait:
        break;
    }
    return {0, -1, 0};
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Gravity as the device sees it after turning by `roll` in the screen plane (top to the
// left) and then by `pitch` (top away from the user). Turning the phone one way turns
// gravity the other way in the phone's axes: a roll of r gives (-sin r, -cos r, 0) from
// portrait, a pitch of p gives (0, -cos p, -sin p).
Acceleration turned(Acceleration g, double roll, double pitch) {
    const double r = -radians(roll);
    const Acceleration rolled{g.x * std::cos(r) - g.y * std::sin(r),
                              g.x * std::sin(r) + g.y * std::cos(r), g.z};
    const double p = radians(pitch);
    return {rolled.x, rolled.y * std::cos(p) - rolled.z * std::sin(p),
            rolled.y * std::sin(p) + rolled.z * std::cos(p)};
}

} // namespace

Device& Device::current() {
    static Device device;
    return device;
}

DeviceOrientation Device::orientation() const {
    std::lock_guard lock(mutex_);
    return orientation_;
}

void Device::setOrientation(DeviceOrientation orientation) {
    {
        std::lock_guard lock(mutex_);
        if (orientation_ == orientation) {
            return;
        }
        orientation_ = orientation;
    }
    DispatchQueue::main().async(
        [changed = orientationChanged_, orientation] { changed->send(orientation); });
}

Subscription Device::observeOrientation(std::function<void(DeviceOrientation)> observer) {
    return orientationChanged_->subscribe(std::move(observer));
}

void Device::tilt(double rollDegrees, double pitchDegrees) {
    std::lock_guard lock(mutex_);
    roll_ = std::clamp(roll_ + rollDegrees, -90.0, 90.0);
    pitch_ = std::clamp(pitch_ + pitchDegrees, -90.0, 90.0);
}

void Device::level() {
    std::lock_guard lock(mutex_);
    roll_ = 0;
    pitch_ = 0;
}

double Device::roll() const {
    std::lock_guard lock(mutex_);
    return roll_;
}

double Device::pitch() const {
    std::lock_guard lock(mutex_);
    return pitch_;
}

Acceleration Device::gravity() const {
    std::lock_guard lock(mutex_);
    if (fixedGravity_) {
        return *fixedGravity_;
    }
    return turned(gravityHeld(orientation_), roll_, pitch_);
}

void Device::setGravity(std::optional<Acceleration> fixed) {
    std::lock_guard lock(mutex_);
    fixedGravity_ = fixed;
}

void Device::setAccelerometerFailing(bool failing) {
    std::lock_guard lock(mutex_);
    accelerometerFailing_ = failing;
}

bool Device::isAccelerometerFailing() const {
    std::lock_guard lock(mutex_);
    return accelerometerFailing_;
}

} // namespace qv::platform
