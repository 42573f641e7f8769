#pragma once
// For tests on real threads: counts calls made on any thread and lets the test wait for
// a number of them, at most a few seconds (a missing call fails instead of hanging).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qv::testing {

class Arrivals {
public:
    void add() {
        std::lock_guard guard(mutex_);
        ++count_;
        changed_.notify_all();
    }
    bool waitFor(int count) {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(5), [&] { return count_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

} // namespace qv::testing
