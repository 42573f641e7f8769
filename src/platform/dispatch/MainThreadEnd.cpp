#include "platform/dispatch/MainThreadEnd.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/detail/OneShotEvent.hpp"
#include "platform/dispatch/detail/Runtime.hpp"

#include <chrono>

namespace qv::platform::detail {

std::shared_ptr<OneShotEvent> makeEndSignal() {
    return std::make_shared<OneShotEvent>();
}

void signalEnd(OneShotEvent& signal) {
    signal.set();
}

void runEndOnMainThread(std::shared_ptr<void> end) {
    if (onMainThread()) {
        end.reset();
        return;
    }
    DispatchQueue::main().async([end = std::move(end)]() mutable { end.reset(); });
}

void awaitEnd(const std::shared_ptr<OneShotEvent>& signal) {
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
