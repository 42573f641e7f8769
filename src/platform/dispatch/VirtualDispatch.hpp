#pragma once

#include "platform/dispatch/Clock.hpp"

#include <cstddef>
#include <functional>
#include <memory>

namespace qv::platform {

namespace detail {
class Runtime;
class VirtualRuntime;
} // namespace detail

// Deterministic dispatch for tests. While a VirtualDispatch lives, the clock is virtual and
// every queue made in that time (the main queue, serial queues, operation queues, the worker
// pool) has no thread of its own: their blocks run on the test's thread when the test pumps,
// one block at a time, in the order the blocks became ready across all queues. Time moves
// only in runFor()/runUntil() (or the clock's advance), and delayed work becomes ready when
// time reaches its deadline: earliest deadline first, equal deadlines in the order they were
// set, each behind the work already queued. So a test of code that hops between queues and
// sets timers sees the same order on every run, and an hour of work runs in milliseconds.
//
// Rules that follow: make the VirtualDispatch before the objects under test (queues made
// earlier are real); a block must not wait for another queue except through sync(), which
// runs inline (after the target queue's earlier work); pump only from the test's thread,
// outside any block. Ending the VirtualDispatch drops all work still pending and returns to
// the real runtime; queues made under it stay inert.
class VirtualDispatch {
public:
    // The wall clock starts at `start` (default 2024-01-01 00:00:00 UTC).
    explicit VirtualDispatch(WallTime start = wallTimeFromSeconds(1704067200.0));
    ~VirtualDispatch();
    VirtualDispatch(const VirtualDispatch&) = delete;
    VirtualDispatch& operator=(const VirtualDispatch&) = delete;

    VirtualClock& clock();

    // Runs all work that is ready now, including work it queues, until nothing is ready.
    // Time does not move. Returns the number of blocks run.
    std::size_t runUntilIdle();
    // Runs the one block that is ready first (not what it queues). Time does not move.
    // False when none is ready. For tests that look between two blocks.
    bool runOne();
    // Moves time forward by `duration`, stopping at every deadline on the way to run the work
    // that became due (and what it queues) before going on; ends at now + duration.
    void runFor(Seconds duration);
    void runUntil(MonotonicTime time);
    // Like runFor(limit), but stops as soon as `condition` holds after a step (also checked
    // first). Returns whether it held.
    bool runUntil(const std::function<bool()>& condition, Seconds limit);

    // Blocks and timers waiting (cancelled timers included until their deadline passes).
    std::size_t pendingCount() const;

private:
    std::shared_ptr<detail::VirtualRuntime> runtime_;
    detail::Runtime* previous_;
};

} // namespace qv::platform
