// The runtime of the running program: real time, a thread per serial queue, a worker pool,
// and a main queue drained by the window host on the main thread.

#include "platform/dispatch/ProcessorBudget.hpp"
#include "platform/dispatch/detail/OneShotEvent.hpp"
#include "platform/dispatch/detail/Runtime.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace qv::platform::detail {

namespace {

class RealClock final : public Clock {
public:
    MonotonicTime now() const override { return std::chrono::steady_clock::now(); }
    WallTime wallNow() const override {
        return std::chrono::time_point_cast<std::chrono::nanoseconds>(
            std::chrono::system_clock::now());
    }
    bool isVirtual() const override { return false; }
};

// Sets the event when destroyed: the capture of a job queued by sync() on another thread
// goes after the job ran, or when a shut-down queue dropped it, so the waiter never hangs.
class SignalOnDestruction {
public:
    explicit SignalOnDestruction(std::shared_ptr<OneShotEvent> done) : done_(std::move(done)) {}
    ~SignalOnDestruction() { done_->set(); }
    SignalOnDestruction(const SignalOnDestruction&) = delete;
    SignalOnDestruction& operator=(const SignalOnDestruction&) = delete;

private:
    std::shared_ptr<OneShotEvent> done_;
};

void queueAndWait(QueueCore& core, const std::function<void()>& work) {
    auto done = std::make_shared<OneShotEvent>();
    auto signal = std::make_shared<SignalOnDestruction>(done);
    core.enqueue(Job{[&work, signal] { work(); }, nullptr});
    signal.reset();
    done->wait();
}

// Pending work of one queue: ready jobs in order, and timers. Guarded by the owner's mutex.
struct PendingWork {
    std::deque<Job> ready;
    TimerHeap<Job> timers;

    // Takes everything out, to be destroyed without the lock held (a job's captures may
    // post to this very queue when they go).
    std::pair<std::deque<Job>, TimerHeap<Job>> takeAll() {
        return {std::exchange(ready, {}), std::exchange(timers, {})};
    }
};

class SerialThreadCore final : public QueueCore {
public:
    using QueueCore::QueueCore;

    void start() {
        thread_ =
            std::thread([self = std::static_pointer_cast<SerialThreadCore>(shared_from_this())] {
                self->loop();
            });
    }

    void enqueue(Job job) override {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            pending_.ready.push_back(std::move(job));
            cv_.notify_one();
        }
    }

    void enqueueAt(MonotonicTime deadline, Job job) override {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            pending_.timers.push(deadline, std::move(job));
            cv_.notify_one();
        }
    }

    void syncFromElsewhere(const std::function<void()>& work) override {
        queueAndWait(*this, work);
    }

    void shutdown() override {
        decltype(pending_.takeAll()) dropped;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            dropped = pending_.takeAll();
            cv_.notify_one();
        }
        dropped = {};
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach(); // destroyed from its own block: the loop ends after it
        } else {
            thread_.join();
        }
    }

private:
    void loop() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            pending_.timers.moveDue(std::chrono::steady_clock::now(), pending_.ready);
            if (!pending_.ready.empty()) {
                Job job = std::move(pending_.ready.front());
                pending_.ready.pop_front();
                lock.unlock();
                runJob(this, job);
                job = {};
                lock.lock();
            } else if (!pending_.timers.empty()) {
                cv_.wait_until(lock, pending_.timers.nextDeadline());
            } else {
                cv_.wait(lock);
            }
        }
    }

    std::mutex mutex_; // guards pending_ and stopping_ between the queue's thread and callers
    std::condition_variable cv_;
    PendingWork pending_;
    bool stopping_ = false;
    std::thread thread_;
};

// The main queue: drained by the host's loop on the main thread.
class MainCore final : public QueueCore {
public:
    MainCore() : QueueCore("main", QoS::userInteractive, true) {}

    void enqueue(Job job) override {
        {
            std::lock_guard lock(mutex_);
            pending_.ready.push_back(std::move(job));
        }
        wake();
    }

    void enqueueAt(MonotonicTime deadline, Job job) override {
        {
            std::lock_guard lock(mutex_);
            pending_.timers.push(deadline, std::move(job));
        }
        wake();
    }

    void syncFromElsewhere(const std::function<void()>& work) override {
        queueAndWait(*this, work);
    }

    void shutdown() override {} // the real main queue lives as long as the program

    std::optional<MonotonicTime> runDue() {
        std::deque<Job> batch;
        {
            std::lock_guard lock(mutex_);
            pending_.timers.moveDue(std::chrono::steady_clock::now(), pending_.ready);
            batch.swap(pending_.ready);
        }
        // Work queued while this batch runs waits for the next step, so a block that queues
        // itself again cannot starve the host's event handling.
        for (Job& job : batch) {
            runJob(this, job);
            job = {};
        }
        std::lock_guard lock(mutex_);
        if (!pending_.ready.empty()) {
            return std::chrono::steady_clock::now();
        }
        return pending_.timers.empty() ? std::nullopt
                                       : std::optional(pending_.timers.nextDeadline());
    }

    void setWakeup(std::function<void()> wakeup) {
        std::lock_guard lock(wakeMutex_);
        wakeup_ = std::move(wakeup);
    }

private:
    void wake() {
        std::lock_guard lock(wakeMutex_);
        if (wakeup_) {
            wakeup_();
        }
    }

    std::mutex mutex_;     // guards pending_ between posting threads and the main thread
    std::mutex wakeMutex_; // guards wakeup_, set by the host while other threads post
    PendingWork pending_;
    std::function<void()> wakeup_;
};

// Worker threads sharing one queue of tasks; they live as long as the program.
class PoolCore final : public QueueCore {
public:
    PoolCore() : QueueCore("worker pool", QoS::defaultLevel, false) {
        // At least two, so a task that waits for another never waits alone.
        const std::size_t count = std::max<std::size_t>(2, processorBudget());
        for (std::size_t i = 0; i < count; ++i) {
            std::thread([this] { loop(); }).detach();
        }
    }

    void enqueue(Job job) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(job));
        cv_.notify_one();
    }

    void enqueueAt(MonotonicTime, Job job) override { enqueue(std::move(job)); }

    void syncFromElsewhere(const std::function<void()>& work) override { work(); }

    void shutdown() override {}

private:
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return !tasks_.empty(); });
            Job job = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            runJob(this, job);
            job = {};
            lock.lock();
        }
    }

    std::mutex mutex_; // guards tasks_ between submitters and workers
    std::condition_variable cv_;
    std::deque<Job> tasks_;
};

class RealRuntime final : public Runtime {
public:
    RealRuntime()
        : mainCore_(std::make_shared<MainCore>()), main_(DispatchAccess::wrap(mainCore_)) {}

    Clock& clock() override { return clock_; }
    DispatchQueue& mainQueue() override { return *main_; }

    std::shared_ptr<QueueCore> makeSerialQueue(std::string label, QoS qos) override {
        auto core = std::make_shared<SerialThreadCore>(std::move(label), qos, false);
        core->start();
        return core;
    }

    QueueCore& pool() override {
        // Made on first use: programs and tests that never use the pool start no workers.
        static PoolCore* pool = new PoolCore(); // lives as long as its detached workers
        return *pool;
    }

    std::optional<MonotonicTime> runDueMainWork() override { return mainCore_->runDue(); }
    void setMainWakeup(std::function<void()> wakeup) override {
        mainCore_->setWakeup(std::move(wakeup));
    }

private:
    RealClock clock_;
    std::shared_ptr<MainCore> mainCore_;
    std::unique_ptr<DispatchQueue> main_;
};

std::atomic<Runtime*> installedRuntime{nullptr};

} // namespace

Runtime& realRuntime() {
    // Never destroyed: queue threads and the pool may still run while statics are torn down.
    static Runtime* runtime = new RealRuntime();
    return *runtime;
}

Runtime& Runtime::current() {
    Runtime* installed = installedRuntime.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : realRuntime();
}

Runtime* Runtime::install(Runtime* runtime) {
    return installedRuntime.exchange(runtime, std::memory_order_acq_rel);
}

} // namespace qv::platform::detail
