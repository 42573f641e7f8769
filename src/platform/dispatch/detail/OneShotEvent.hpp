#pragma once
// Internal: something that happens once on one thread and that other threads wait for (a
// job that sync() queued has ended, an object has ended on the main thread).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qv::platform::detail {

class OneShotEvent {
public:
    void set() {
        std::lock_guard lock(mutex_);
        happened_ = true;
        changed_.notify_all();
    }

    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return happened_; });
    }

    // Waits at most `timeout`; true once it has happened.
    bool waitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return happened_; });
    }

private:
    std::mutex mutex_; // guards happened_ between the setting thread and the waiters
    std::condition_variable changed_;
    bool happened_ = false;
};

} // namespace qv::platform::detail
