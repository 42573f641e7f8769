#pragma once
// The accelerometer: samples of the phone's acceleration (gravity from the Device's
// posture) at a set interval, on the dispatch clock, delivered to an operation queue.
//
// Threads: every member is safe to call from any thread, also from inside the handler.

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/sensors/Acceleration.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qv::platform {

class Device;

struct AccelerometerData {
    Acceleration acceleration;
    MonotonicTime timestamp;
};

struct MotionError {
    std::string description;
};

// Gets either a sample or an error, never both.
using AccelerometerHandler = std::function<void(const std::optional<AccelerometerData>& data,
                                                const std::optional<MotionError>& error)>;

class MotionManager {
public:
    // Reads the posture of `device` (the app's phone by default).
    explicit MotionManager(Device& device);
    MotionManager();
    ~MotionManager(); // stops the updates
    MotionManager(const MotionManager&) = delete;
    MotionManager& operator=(const MotionManager&) = delete;

    // Seconds between samples; 0.01 by default. Takes effect at the next start.
    void setAccelerometerUpdateInterval(double seconds);
    double accelerometerUpdateInterval() const;

    // Sends a sample every interval from now on (the first one interval from now) as an
    // operation on `queue`, which must outlive the updates. While the device's accelerometer
    // fails, each tick brings the handler an error instead. A start while running replaces
    // the queue and the handler; no sample of the earlier start follows.
    void startAccelerometerUpdates(OperationQueue& queue, AccelerometerHandler handler);
    // No sample reaches the handler after this returns, also not one already queued, and
    // also when called from inside the handler (one whose handler is running on another
    // thread at that moment finishes).
    void stopAccelerometerUpdates();
    bool isAccelerometerActive() const;

    // The latest sample taken, if any.
    std::optional<AccelerometerData> accelerometerData() const;

private:
    struct Updates;
    void tick(const std::shared_ptr<Updates>& updates, std::int64_t number);

    Device& device_;
    mutable std::mutex mutex_; // guards the fields below between callers and the ticks
    double interval_ = 0.01;
    std::shared_ptr<Updates> running_;
    std::optional<AccelerometerData> latest_;
    // The ticks run here. Declared last so it ends first: no tick runs on a half-gone manager.
    DispatchQueue ticks_{"accelerometer", QoS::userInitiated};
};

} // namespace qv::platform
