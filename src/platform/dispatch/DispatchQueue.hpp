#pragma once

#include "platform/dispatch/Clock.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

namespace qv::platform {

// Quality of service of a queue or task. Recorded and reported, not used for scheduling.
enum class QoS { userInteractive, userInitiated, defaultLevel, utility, background };

namespace detail {
class QueueCore;
struct CancelState;
} // namespace detail

// Cancels one piece of delayed work. Work cancelled before it starts never runs; work
// already running finishes. Copies share the cancellation; an empty token does nothing.
// Dropping a token does not cancel anything.
class CancelToken {
public:
    CancelToken() = default;
    explicit CancelToken(std::shared_ptr<detail::CancelState> state);
    void cancel() const;
    bool isCancelled() const;

private:
    std::shared_ptr<detail::CancelState> state_;
};

// A serial queue: blocks run one at a time, in the order they were queued.
//
// Where blocks run: the main queue's blocks run on the main thread, when the window host
// drains it (MainLoop.hpp) or a test pumps it. Each other serial queue runs its blocks on
// a thread of its own. Under a VirtualDispatch (tests) nothing has threads: every queue's
// blocks run on the test's thread when the test pumps, one at a time, in the order they
// became ready across all queues (see VirtualDispatch.hpp).
//
// Ending: destroying the queue drops its pending work; once the destructor returns no block
// of it runs any more. Destroyed from another thread, the destructor waits for the block
// that is running; destroyed from one of its own blocks, that block finishes and nothing
// after it runs (no deadlock). Blocks queued elsewhere that refer to the owner must hold it
// weakly; that is the owner's business, not the queue's.
//
// Blocks must not throw. All member functions are safe to call from any thread.
class DispatchQueue {
public:
    explicit DispatchQueue(std::string label, QoS qos = QoS::defaultLevel);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    // The main queue of the current runtime. Do not keep the reference across a change of
    // runtime (a VirtualDispatch's start or end).
    static DispatchQueue& main();

    const std::string& label() const;
    QoS qos() const;

    // Queues work behind the work already queued.
    void async(std::function<void()> work);

    // Queues work once the clock reaches now + delay (a negative delay counts as zero). A due
    // timer joins the queue behind work already queued; timers due at the same moment run in
    // the order they were set. Work due at once is queued as by async().
    CancelToken asyncAfter(Seconds delay, std::function<void()> work);
    CancelToken asyncAt(MonotonicTime deadline, std::function<void()> work);

    // Runs work on this queue and returns its result once it ran. Runs inline when called
    // from this queue's own blocks, and for the main queue when called on the main thread;
    // otherwise it waits behind the work already queued. Syncing onto a queue that is itself
    // waiting for the caller is a deadlock; under a VirtualDispatch it aborts with a message.
    // If the queue ends before the work ran, returns without running it (a value-returning
    // sync then returns a default-constructed value).
    template <typename F>
    std::invoke_result_t<F&> sync(F&& work) {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>) {
            syncVoid(std::function<void()>(std::ref(work)));
        } else {
            std::optional<R> result;
            syncVoid([&] { result.emplace(work()); });
            return result ? std::move(*result) : R{};
        }
    }

    // True inside one of this queue's blocks (and for the main queue, on the main thread
    // outside any other queue's block).
    bool isCurrent() const;

private:
    explicit DispatchQueue(std::shared_ptr<detail::QueueCore> core);
    void syncVoid(std::function<void()> work);
    friend struct DispatchAccess;
    friend struct Caller currentCaller();

    std::shared_ptr<detail::QueueCore> core_;
};

// True when the caller runs as part of the main queue: on the main thread outside any other
// queue's block, or inside a main-queue block (under a VirtualDispatch, where every queue's
// blocks run on the test's thread, a serial queue's block is not on the main thread).
bool isMainThread();

// Who runs the caller, for locks held per caller (a camera's configuration lock): the serial
// queue whose block it runs, the main queue on the main thread, else its own thread (each
// worker-pool task counts as its thread, since pool tasks run side by side). Under a
// VirtualDispatch every queue runs on the test's thread, yet blocks of different queues are
// different callers, as they would be with threads.
struct Caller {
    const void* queue = nullptr; // null: a thread outside any serial queue
    std::thread::id thread;      // the thread it runs on now

    bool isSameAs(const Caller& other) const {
        return queue != nullptr ? queue == other.queue
                                : other.queue == nullptr && thread == other.thread;
    }
};
Caller currentCaller();

// A pool of worker threads for fire-and-forget tasks that may run in parallel. Tasks start in
// the order they were given. Under a VirtualDispatch tasks run one at a time when pumped.
namespace WorkerPool {
void async(std::function<void()> task, QoS qos = QoS::defaultLevel);
} // namespace WorkerPool

} // namespace qv::platform
