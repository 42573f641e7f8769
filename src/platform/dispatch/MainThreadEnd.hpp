#pragma once
// Shared ownership of an object whose end belongs on the main thread: its destructor
// unregisters from services, stops queues or touches state that only the main queue
// writes. Blocks on other queues lock such an object from a weak reference while they work,
// so when the owner lets go, the last reference may drop on any thread; made with
// makeEndingOnMainThread(), the object's end then is queued onto the main queue instead of
// running on that thread, and the owner's releaseOnMainThread() waits for it, so the
// services the object uses can go after it.

#include <memory>
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

// Runs the main queue's work until `signal` is set (under a VirtualDispatch: pumps once).
void awaitEnd(const std::shared_ptr<OneShotEvent>& signal);

} // namespace detail

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
// on another queue may hold the object a moment longer, and its end is queued there). Call on
// the main thread; what the object uses may be destroyed afterwards.
template <typename T>
void releaseOnMainThread(std::shared_ptr<T>& owner) {
    const MainThreadEnd* end = std::get_deleter<MainThreadEnd>(owner);
    const auto signal = end != nullptr ? end->ended : nullptr;
    owner.reset();
    if (signal) {
        detail::awaitEnd(signal);
    }
}

} // namespace qv::platform
