#include "platform/sensors/MotionManager.hpp"

#include "platform/formatting/WallTime.hpp"
#include "platform/sensors/Device.hpp"

#include <atomic>
#include <cmath>

namespace qv::platform {

// One start's updates; shared with the ticks and the operations it queued.
struct MotionManager::Updates {
    OperationQueue* queue = nullptr;
    AccelerometerHandler handler;
    MonotonicTime start;
    std::chrono::nanoseconds interval{};
    std::atomic<bool> stopped{false}; // set by stop, read by queued operations
    CancelToken nextTick;             // guarded by the manager's mutex
};

MotionManager::MotionManager(Device& device) : device_(device) {}

MotionManager::MotionManager() : MotionManager(Device::current()) {}

MotionManager::~MotionManager() {
    stopAccelerometerUpdates();
}

void MotionManager::setAccelerometerUpdateInterval(double seconds) {
    std::lock_guard lock(mutex_);
    // A sensor has a fastest rate; an interval that is not a number or below 1 ms takes it.
    interval_ = std::isnan(seconds) ? 0.001 : std::max(seconds, 0.001);
}

double MotionManager::accelerometerUpdateInterval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

void MotionManager::startAccelerometerUpdates(OperationQueue& queue, AccelerometerHandler handler) {
    stopAccelerometerUpdates();
    auto updates = std::make_shared<Updates>();
    updates->queue = &queue;
    updates->handler = std::move(handler);
    updates->start = monotonicNow();
    std::lock_guard lock(mutex_);
    updates->interval = nanosecondsFrom(Seconds(interval_));
    running_ = updates;
    updates->nextTick =
        ticks_.asyncAt(updates->start + updates->interval, [this, updates] { tick(updates, 1); });
}

void MotionManager::stopAccelerometerUpdates() {
    std::lock_guard lock(mutex_);
    if (running_) {
        running_->stopped = true;
        running_->nextTick.cancel();
        running_.reset();
    }
}

bool MotionManager::isAccelerometerActive() const {
    std::lock_guard lock(mutex_);
    return running_ != nullptr;
}

std::optional<AccelerometerData> MotionManager::accelerometerData() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

void MotionManager::tick(const std::shared_ptr<Updates>& updates, std::int64_t number) {
    std::optional<AccelerometerData> sample;
    std::optional<MotionError> error;
    if (device_.isAccelerometerFailing()) {
        error = MotionError{"The accelerometer is not available"};
    } else {
        sample = AccelerometerData{device_.gravity(), monotonicNow()};
    }
    {
        std::lock_guard lock(mutex_);
        if (updates->stopped) {
            return;
        }
        if (sample) {
            latest_ = sample;
        }
        // Deadlines count from the start, so the ticks never drift: 50 in a second at 0.02.
        updates->nextTick = ticks_.asyncAt(updates->start + updates->interval * (number + 1),
                                           [this, updates, number] { tick(updates, number + 1); });
        // Under the lock, so a stop that returned has no operation still to be added to a
        // queue its caller may now end.
        updates->queue->addOperation([updates, sample, error] {
            if (!updates->stopped) {
                updates->handler(sample, error);
            }
        });
    }
}

} // namespace qv::platform
