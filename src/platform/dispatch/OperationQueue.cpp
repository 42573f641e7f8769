#include "platform/dispatch/OperationQueue.hpp"

namespace qv::platform {

OperationQueue::OperationQueue(std::string name, QoS qos)
    : generation_(std::make_shared<std::atomic<std::uint64_t>>(0)), queue_(std::move(name), qos) {}

void OperationQueue::addOperation(std::function<void()> operation) {
    queue_.async(
        [generation = generation_, added = generation_->load(), operation = std::move(operation)] {
            if (generation->load() == added) {
                operation();
            }
        });
}

void OperationQueue::cancelAllOperations() {
    generation_->fetch_add(1);
}

} // namespace qv::platform
