#pragma once

#include "platform/formatting/WallTime.hpp"

#include <atomic>
#include <chrono>

namespace qv::platform {

// A point on the monotonic clock: deadlines of timers and delayed work, durations of runs.
// Only differences between two of these mean anything.
using MonotonicTime = std::chrono::steady_clock::time_point;

// The one source of time. Every component reads "now" through the current clock (the
// free functions below), never from the system directly, so a test can run an hour of
// work in milliseconds: under a VirtualDispatch the clock is virtual and moves only when
// the test says so; otherwise it is the real steady and system clock.
// now() and wallNow() are safe to call from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual MonotonicTime now() const = 0;
    virtual WallTime wallNow() const = 0;
    virtual bool isVirtual() const = 0;

    // The clock of the current dispatch runtime (real, or the active VirtualDispatch's).
    static Clock& current();
};

// The monotonic and wall time of the current clock.
MonotonicTime monotonicNow();
WallTime wallNow();

// Time that moves only when told to. Wall time moves with monotonic time: both advance by
// the same amount. It never moves backwards.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(WallTime start);

    MonotonicTime now() const override;
    WallTime wallNow() const override;
    bool isVirtual() const override { return true; }

    // Moves time forward to `time` (earlier times are ignored) or by `step`. Work that
    // becomes due is run by the dispatch layer when it is next pumped, not here.
    void advanceTo(MonotonicTime time);
    void advance(std::chrono::nanoseconds step);

private:
    // Nanoseconds since the clock started; written by the pumping thread, read anywhere.
    std::atomic<std::int64_t> elapsed_{0};
    WallTime wallStart_;
};

} // namespace qv::platform
