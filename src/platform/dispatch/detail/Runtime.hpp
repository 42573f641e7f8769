#pragma once

// Internal to the dispatch layer: the queue cores behind DispatchQueue and the runtimes
// (real threads, or the virtual runtime of tests) that run them.

#include "platform/dispatch/DispatchQueue.hpp"

#include <atomic>
#include <cstdint>
#include <deque>
#include <queue>
#include <vector>

namespace qv::platform::detail {

struct CancelState {
    std::atomic<bool> cancelled{false};
};

struct Job {
    std::function<void()> work;
    std::shared_ptr<CancelState> cancel; // null for work that cannot be cancelled

    bool isCancelled() const { return cancel && cancel->cancelled.load(); }
};

// Delayed work ordered by deadline, then by the order it was set.
template <typename Item>
class TimerHeap {
public:
    void push(MonotonicTime deadline, Item item) {
        heap_.push(Entry{deadline, nextSequence_++, std::move(item)});
    }
    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    MonotonicTime nextDeadline() const { return heap_.top().deadline; }
    // Appends the work due at `now` to `ready`, earliest first.
    template <typename Ready>
    void moveDue(MonotonicTime now, Ready& ready) {
        while (!heap_.empty() && heap_.top().deadline <= now) {
            ready.push_back(std::move(const_cast<Entry&>(heap_.top()).item));
            heap_.pop();
        }
    }
    // Removes the entries `drop` accepts and hands them to the caller (to destroy unlocked).
    template <typename Predicate>
    std::vector<Item> extractIf(Predicate drop) {
        std::vector<Entry> all;
        std::vector<Item> dropped;
        while (!heap_.empty()) {
            all.push_back(std::move(const_cast<Entry&>(heap_.top())));
            heap_.pop();
        }
        for (Entry& e : all) {
            if (drop(e.item)) {
                dropped.push_back(std::move(e.item));
            } else {
                heap_.push(std::move(e));
            }
        }
        return dropped;
    }

private:
    struct Entry {
        MonotonicTime deadline;
        std::uint64_t sequence;
        Item item;
        bool operator>(const Entry& other) const {
            return deadline != other.deadline ? deadline > other.deadline
                                              : sequence > other.sequence;
        }
    };
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap_;
    std::uint64_t nextSequence_ = 0;
};

class QueueCore : public std::enable_shared_from_this<QueueCore> {
public:
    QueueCore(std::string label, QoS qos, bool isMain)
        : label_(std::move(label)), qos_(qos), isMain_(isMain) {}
    virtual ~QueueCore() = default;

    virtual void enqueue(Job job) = 0;
    virtual void enqueueAt(MonotonicTime deadline, Job job) = 0;
    // sync() when the caller is not already on this queue.
    virtual void syncFromElsewhere(const std::function<void()>& work) = 0;
    // The owner is gone: drop pending work; nothing runs after this returns.
    virtual void shutdown() = 0;

    const std::string& label() const { return label_; }
    QoS qos() const { return qos_; }
    bool isMain() const { return isMain_; }

    // The queue whose block the calling thread is running, if any.
    static QueueCore* current();

    // Marks the calling thread as running one of `core`'s blocks for its lifetime.
    class RunningScope {
    public:
        explicit RunningScope(QueueCore* core);
        ~RunningScope();
        RunningScope(const RunningScope&) = delete;
        RunningScope& operator=(const RunningScope&) = delete;

    private:
        QueueCore* previous_;
    };

private:
    std::string label_;
    QoS qos_;
    bool isMain_;
};

// Runs a job unless it was cancelled, marked as running on `core`.
void runJob(QueueCore* core, Job& job);

// The id of the thread that started the program.
bool onMainThread();

// The set of queues, clock and pool that DispatchQueue and Clock::current() use.
class Runtime {
public:
    virtual ~Runtime() = default;
    virtual Clock& clock() = 0;
    virtual DispatchQueue& mainQueue() = 0;
    virtual std::shared_ptr<QueueCore> makeSerialQueue(std::string label, QoS qos) = 0;
    virtual QueueCore& pool() = 0;
    // The main loop's step: runs ready main-queue work, returns the next timer deadline.
    virtual std::optional<MonotonicTime> runDueMainWork() = 0;
    virtual void setMainWakeup(std::function<void()> wakeup) = 0;

    // The runtime in use: the real one unless a VirtualDispatch is installed.
    static Runtime& current();
    // Installs `runtime` (null: the real one) and returns the one it replaces.
    static Runtime* install(Runtime* runtime);
};

Runtime& realRuntime();

} // namespace qv::platform::detail

namespace qv::platform {
// Makes DispatchQueue handles around cores (the runtimes' main queues).
struct DispatchAccess {
    static std::unique_ptr<DispatchQueue> wrap(std::shared_ptr<detail::QueueCore> core) {
        return std::unique_ptr<DispatchQueue>(new DispatchQueue(std::move(core)));
    }
};
} // namespace qv::platform
