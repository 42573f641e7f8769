#pragma once
// Shared ownership of an object whose end belongs on the main thread: its destructor
// unregisters from services, stops queues or touches state that only the main queue
// writes. Blocks on other queues lock such an object from a weak reference while they work,
// so when the owner lets go, the last reference may drop on any thread; made with
// makeEndingOnMainThread(), the object's end then is queued onto the main queue instead of
// running on that thread, and the owner's releaseWhileRunningMainQueue() runs the main queue
// until it has ended, so the services the object uses can go after it.

#include "platform/formatting/WallTime.hpp"

#include <memory>
#include <string_view>
#include <utility>

namespace qv::platform {

namespace detail {

// Set once the object has ended; waited for on the main thread.
class OneShotEvent;
std::shared_ptr<OneShotEvent> makeEndSignal();
void signalEnd(OneShotEvent& signal);

// Runs `end` now on the main thread (under a VirtualDispatch, every queue's blocks run on
// it), else queues it on the main queue; queued work the main queue drops unrun still ends
// the object, as `end` is made to do when it is destroyed.
void runEndOnMainThread(std::shared_ptr<void> end);

// Refuses a call off the main thread: says who called and why on stderr, then aborts (as
// the dispatch layer does with every misuse that would deadlock or run work on the wrong
// thread).
void requireMainThread(const char* function);

// Runs the main queue's work until `signal` is set, printing one line naming `what` once the
// wait passes endPatience on the current clock. Under a VirtualDispatch, where only queued
// work runs beside the caller, virtual time moves on to each next deadline meanwhile.
void awaitEnd(const std::shared_ptr<OneShotEvent>& signal, std::string_view what);

} // namespace detail

// How long releaseWhileRunningMainQueue() waits before it says what it is waiting for.
inline constexpr Seconds endPatience{3.0};

// The deleter of makeEndingOnMainThread().
struct MainThreadEnd {
    std::shared_ptr<detail::OneShotEvent> ended = detail::makeEndSignal();

    template <typename T>
    void operator()(T* object) const {
        // The object is deleted when the last copy of `end` goes: when the main queue has
        // run the end, or drops it unrun.
        std::shared_ptr<void> end(object, [signal = ended](T* doomed) {
            delete doomed;
            detail::signalEnd(*signal);
        });
        detail::runEndOnMainThread(std::move(end));
    }
};

// Owns `object` (made with new) so that its destructor runs on the main thread, whichever
// thread drops the last reference.
template <typename T>
std::shared_ptr<T> makeEndingOnMainThread(T* object) {
    return std::shared_ptr<T>(object, MainThreadEnd{});
}

// Lets go of `owner` and, when it was the last of an object made by makeEndingOnMainThread(),
// returns only once that object has ended, running the main queue's work meanwhile (a block
// on another queue may hold the object a moment longer, and its end is queued there); what
// the object uses may be destroyed afterwards. A wait past endPatience prints one line naming
// `what` ("the camera controller"), so a reference held for good shows instead of a silent
// hang. Main thread only: called elsewhere it would run main-queue work on that thread, so it
// aborts with a message instead.
template <typename T>
void releaseWhileRunningMainQueue(std::shared_ptr<T>& owner, std::string_view what) {
    detail::requireMainThread("releaseWhileRunningMainQueue");
    const MainThreadEnd* end = std::get_deleter<MainThreadEnd>(owner);
    const auto signal = end != nullptr ? end->ended : nullptr;
    owner.reset();
    if (signal) {
        detail::awaitEnd(signal, what);
    }
}

} // namespace qv::platform
