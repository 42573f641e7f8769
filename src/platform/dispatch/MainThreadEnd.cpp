#include "platform/dispatch/MainThreadEnd.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/detail/Runtime.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qv::platform::detail {

class EndSignal {
public:
    void set() {
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    // Waits at most `timeout` for the end; true once it happened.
    bool waitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return ended_; });
    }

private:
    std::mutex mutex_; // guards ended_ between the ending thread and the waiting main thread
    std::condition_variable changed_;
    bool ended_ = false;
};

std::shared_ptr<EndSignal> makeEndSignal() {
    return std::make_shared<EndSignal>();
}

void signalEnd(EndSignal& signal) {
    signal.set();
}

void runEndOnMainThread(std::shared_ptr<void> end) {
    if (onMainThread()) {
        end.reset();
        return;
    }
    DispatchQueue::main().async([end = std::move(end)]() mutable { end.reset(); });
}

void awaitEnd(const std::shared_ptr<EndSignal>& signal) {
    if (Clock::current().isVirtual()) {
        // Nothing runs beside the test's thread: what ends the object is queued work.
        MainLoop::runDueWork();
        return;
    }
    // The end is queued on the main queue by the thread that held the object last, so the
    // main queue keeps running here; the signal is looked at between its batches.
    while (!signal->waitFor(std::chrono::milliseconds(0))) {
        MainLoop::runDueWork();
        signal->waitFor(std::chrono::milliseconds(1));
    }
}

} // namespace qv::platform::detail
