#include "platform/dispatch/Clock.hpp"

#include "platform/dispatch/detail/Runtime.hpp"

namespace qv::platform {

Clock& Clock::current() {
    return detail::Runtime::current().clock();
}

MonotonicTime monotonicNow() {
    return Clock::current().now();
}

WallTime wallNow() {
    return Clock::current().wallNow();
}

VirtualClock::VirtualClock(WallTime start) : wallStart_(start) {}

MonotonicTime VirtualClock::now() const {
    // Virtual monotonic time starts one day after the steady clock's epoch, so that
    // "now minus a little" is still a valid time point.
    return MonotonicTime(std::chrono::hours(24) + std::chrono::nanoseconds(elapsed_.load()));
}

WallTime VirtualClock::wallNow() const {
    return wallStart_ + std::chrono::nanoseconds(elapsed_.load());
}

void VirtualClock::advanceTo(MonotonicTime time) {
    const auto target = (time - MonotonicTime(std::chrono::hours(24))).count();
    std::int64_t current = elapsed_.load();
    while (target > current && !elapsed_.compare_exchange_weak(current, target)) {
    }
}

void VirtualClock::advance(std::chrono::nanoseconds step) {
    if (step.count() > 0) {
        elapsed_.fetch_add(step.count());
    }
}

} // namespace qv::platform
