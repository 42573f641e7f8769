#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

namespace qv::platform {

// A serial queue of operations (sensor updates are delivered to one): operations run one at
// a time in the order they were added. cancelAllOperations() skips every operation added
// before it that has not started. Destroying the queue ends it as a DispatchQueue ends.
class OperationQueue {
public:
    explicit OperationQueue(std::string name = "operation queue", QoS qos = QoS::defaultLevel);

    void addOperation(std::function<void()> operation);
    void cancelAllOperations();

    const std::string& name() const { return queue_.label(); }
    QoS qos() const { return queue_.qos(); }
    bool isCurrent() const { return queue_.isCurrent(); }

private:
    // Bumped by cancelAllOperations() from any thread; operations of an older generation
    // are skipped. Shared so operations still queued can read it after the queue is gone.
    std::shared_ptr<std::atomic<std::uint64_t>> generation_;
    DispatchQueue queue_;
};

} // namespace qv::platform
