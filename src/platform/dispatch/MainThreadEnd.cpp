#include "platform/dispatch/MainThreadEnd.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/detail/OneShotEvent.hpp"
#include "platform/dispatch/detail/Runtime.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

void requireMainThread(const char* function) {
    if (isMainThread()) {
        return;
    }
    const QueueCore* queue = QueueCore::current();
    const std::string where =
        queue != nullptr ? "in a block of queue \"" + queue->label() + "\"" : "on another thread";
    std::fprintf(stderr,
                 "%s called off the main thread (%s): it runs main-queue work, which only the "
                 "main thread may run\n",
                 function, where.c_str());
    std::abort();
}

void awaitEnd(const std::shared_ptr<OneShotEvent>& signal, std::string_view what) {
    Clock& clock = Clock::current();
    const MonotonicTime saidAt = clock.now() + nanosecondsFrom(endPatience);
    bool said = false;
    // The end is queued on the main queue by the thread that held the object last, so the
    // main queue keeps running here; the signal is looked at between its batches.
    for (;;) {
        const std::optional<MonotonicTime> next = MainLoop::runDueWork();
        if (signal->waitFor(std::chrono::milliseconds(0))) {
            return;
        }
        if (!said && clock.now() >= saidAt) {
            print("Still waiting for", what, "to end after", int(endPatience.count()),
                  "s: something still holds it");
            said = true;
        }
        if (clock.isVirtual() && next) {
            // Nothing runs beside the test's thread but queued work: time goes on to it.
            static_cast<VirtualClock&>(clock).advanceTo(said ? *next : std::min(*next, saidAt));
            continue;
        }
        signal->waitFor(std::chrono::milliseconds(1));
    }
}

} // namespace qv::platform::detail
