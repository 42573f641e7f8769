#pragma once
// The phone's body: how it is held (the device orientation, with its change notice) and
// how far it is tilted, from which the accelerometer reads gravity. On the desktop the
// window's keys move it (1 to 6 turn it, the arrow keys tilt it, "0" levels it); tests
// set it directly.
//
// Threads: safe to use from any thread. Change notices run on the main queue.

#include "platform/sensors/Acceleration.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/state/Signal.hpp"

#include <memory>
#include <mutex>
#include <optional>

namespace qv::platform {

class Device {
public:
    // The one phone of the app.
    static Device& current();

    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Starts at portrait.
    DeviceOrientation orientation() const;
    // A change posts the change notice on the main queue; setting the same orientation
    // again posts nothing.
    void setOrientation(DeviceOrientation orientation);
    // Called on the main queue after each change, with the new orientation.
    [[nodiscard]] Subscription observeOrientation(std::function<void(DeviceOrientation)> observer);

    // Tilt in degrees, each held within [-90, 90]: `roll` turns the phone in the plane of its
    // screen (positive: its top to the left), `pitch` about its horizontal axis (positive:
    // its top away from the user). Both start at 0.
    void tilt(double rollDegrees, double pitchDegrees);
    void level();
    double roll() const;
    double pitch() const;

    // Gravity for the orientation ((0, -1, 0) portrait, (0, 1, 0) upside down, (-1, 0, 0)
    // landscape left, (1, 0, 0) landscape right, (0, 0, -1) face up, (0, 0, 1) face down;
    // unknown counts as portrait), turned by the roll, then the pitch. A test may set a
    // fixed value instead (nothing: back to the posture's).
    Acceleration gravity() const;
    void setGravity(std::optional<Acceleration> fixed);

    // Test seam: while true the accelerometer delivers errors instead of samples.
    void setAccelerometerFailing(bool failing);
    bool isAccelerometerFailing() const;

private:
    mutable std::mutex mutex_; // the window's keys write on main, sensor queues read
    DeviceOrientation orientation_ = DeviceOrientation::portrait;
    double roll_ = 0;
    double pitch_ = 0;
    std::optional<Acceleration> fixedGravity_;
    bool accelerometerFailing_ = false;
    // Shared with notices still queued on main, which may outlive a test's own device.
    std::shared_ptr<Signal<DeviceOrientation>> orientationChanged_ =
        std::make_shared<Signal<DeviceOrientation>>();
};

} // namespace qv::platform
