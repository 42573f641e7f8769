#pragma once

#include "platform/dispatch/Clock.hpp"

#include <functional>
#include <optional>

namespace qv::platform::MainLoop {

// For the window host, which drains the main queue from its event loop on the main thread.
//
// runDueWork() runs the main-queue work that is ready or due now; work those blocks queue
// waits for the next call, so the host keeps handling events. It returns when the host should
// call again at the latest: now if work is waiting, the next timer's deadline, or nothing
// when the queue is empty (then wait for the wakeup). Under a VirtualDispatch it pumps every
// queue until idle and returns the next deadline.
std::optional<MonotonicTime> runDueWork();

// Called from whichever thread queues main-queue work (or a timer), so the host can wake its
// event loop (for example by pushing an event). Must be quick and must not queue work itself.
void setWakeup(std::function<void()> wakeup);

} // namespace qv::platform::MainLoop
