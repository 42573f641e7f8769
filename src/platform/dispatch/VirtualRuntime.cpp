// The runtime of tests: virtual time, no threads, one global order of blocks.

#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/dispatch/detail/Runtime.hpp"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qv::platform::detail {

class VirtualCore;

class VirtualRuntime final : public Runtime, public std::enable_shared_from_this<VirtualRuntime> {
public:
    explicit VirtualRuntime(WallTime start) : clock_(start) {}

    void open();
    void close();

    Clock& clock() override { return clock_; }
    VirtualClock& virtualClock() { return clock_; }
    DispatchQueue& mainQueue() override { return *main_; }
    std::shared_ptr<QueueCore> makeSerialQueue(std::string label, QoS qos) override;
    QueueCore& pool() override;
    std::optional<MonotonicTime> runDueMainWork() override;
    void setMainWakeup(std::function<void()>) override {} // nothing to wake: tests pump

    void enqueue(const std::shared_ptr<VirtualCore>& core, Job job);
    void enqueueAt(const std::shared_ptr<VirtualCore>& core, MonotonicTime deadline, Job job);
    void syncOnto(const std::shared_ptr<VirtualCore>& core, const std::function<void()>& work);
    void dropWorkOf(const VirtualCore* core);

    std::size_t runUntilIdle();
    void runUntil(MonotonicTime time, const std::function<bool()>* condition);
    std::size_t pendingCount() const;
    bool step();

private:
    struct Item {
        std::shared_ptr<VirtualCore> core;
        Job job;
    };
    void run(Item& item);
    bool runOne();
    std::optional<MonotonicTime> nextDeadline() const;
    static void requirePumpThread(const char* what);

    VirtualClock clock_;
    // Guards ready_, timers_ and closed_: blocks run on the pumping thread, but any thread
    // may queue work.
    mutable std::mutex mutex_;
    std::deque<Item> ready_;
    TimerHeap<Item> timers_;
    bool closed_ = false;
    std::shared_ptr<VirtualCore> mainCore_;
    std::unique_ptr<DispatchQueue> main_;
    std::shared_ptr<VirtualCore> pool_;
};

class VirtualCore final : public QueueCore {
public:
    VirtualCore(std::shared_ptr<VirtualRuntime> runtime, std::string label, QoS qos, bool isMain)
        : QueueCore(std::move(label), qos, isMain), runtime_(std::move(runtime)) {}

    void enqueue(Job job) override { runtime_->enqueue(self(), std::move(job)); }
    void enqueueAt(MonotonicTime deadline, Job job) override {
        runtime_->enqueueAt(self(), deadline, std::move(job));
    }
    void syncFromElsewhere(const std::function<void()>& work) override {
        runtime_->syncOnto(self(), work);
    }
    void shutdown() override {
        alive = false;
        runtime_->dropWorkOf(this);
    }

    std::atomic<bool> alive{true}; // false once the owner is gone: its work is skipped
    int running = 0;               // blocks of this queue on the pump thread's stack

private:
    std::shared_ptr<VirtualCore> self() {
        return std::static_pointer_cast<VirtualCore>(shared_from_this());
    }
    std::shared_ptr<VirtualRuntime> runtime_;
};

void VirtualRuntime::open() {
    mainCore_ =
        std::make_shared<VirtualCore>(shared_from_this(), "main", QoS::userInteractive, true);
    main_ = DispatchAccess::wrap(mainCore_);
    pool_ =
        std::make_shared<VirtualCore>(shared_from_this(), "worker pool", QoS::defaultLevel, false);
}

void VirtualRuntime::close() {
    std::deque<Item> ready;
    TimerHeap<Item> timers;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        ready.swap(ready_);
        std::swap(timers, timers_);
    }
    // The cores refer back to this runtime; dropping them here ends that cycle.
    main_.reset();
    mainCore_.reset();
    pool_.reset();
}

QueueCore& VirtualRuntime::pool() {
    return *pool_;
}

std::shared_ptr<QueueCore> VirtualRuntime::makeSerialQueue(std::string label, QoS qos) {
    return std::make_shared<VirtualCore>(shared_from_this(), std::move(label), qos, false);
}

void VirtualRuntime::enqueue(const std::shared_ptr<VirtualCore>& core, Job job) {
    std::lock_guard lock(mutex_);
    if (!closed_) {
        ready_.push_back(Item{core, std::move(job)});
    }
}

void VirtualRuntime::enqueueAt(const std::shared_ptr<VirtualCore>& core, MonotonicTime deadline,
                               Job job) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return;
    }
    if (deadline <= clock_.now()) {
        ready_.push_back(Item{core, std::move(job)});
    } else {
        timers_.push(deadline, Item{core, std::move(job)});
    }
}

void VirtualRuntime::dropWorkOf(const VirtualCore* core) {
    std::deque<Item> dropped;
    std::vector<Item> droppedTimers;
    {
        std::lock_guard lock(mutex_);
        std::deque<Item> kept;
        for (Item& item : ready_) {
            (item.core.get() == core ? dropped : kept).push_back(std::move(item));
        }
        ready_.swap(kept);
        droppedTimers = timers_.extractIf([core](const Item& i) { return i.core.get() == core; });
    }
    // Destroyed here, unlocked: a job's captures may queue work when they go.
}

void VirtualRuntime::requirePumpThread(const char* what) {
    if (QueueCore::current() != nullptr) {
        std::fprintf(stderr, "VirtualDispatch: %s called from inside a block\n", what);
        std::abort();
    }
}

void VirtualRuntime::run(Item& item) {
    if (!item.core->alive) {
        return;
    }
    ++item.core->running;
    runJob(item.core.get(), item.job);
    --item.core->running;
}

bool VirtualRuntime::runOne() {
    Item item;
    {
        std::lock_guard lock(mutex_);
        timers_.moveDue(clock_.now(), ready_);
        if (ready_.empty()) {
            return false;
        }
        item = std::move(ready_.front());
        ready_.pop_front();
    }
    run(item);
    return true;
}

void VirtualRuntime::syncOnto(const std::shared_ptr<VirtualCore>& core,
                              const std::function<void()>& work) {
    if (QueueCore::current() == nullptr && !onMainThread()) {
        // Another thread (not the pump): queue it and wait for the test to pump it.
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        auto signal = std::shared_ptr<void>(nullptr, [&](void*) {
            std::lock_guard lock(m);
            done = true;
            cv.notify_all();
        });
        enqueue(core, Job{[&work, signal] { work(); }, nullptr});
        signal.reset();
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return done; });
        return;
    }
    if (core->running > 0) {
        std::fprintf(stderr,
                     "VirtualDispatch: sync onto queue \"%s\", which is waiting for the caller "
                     "(a deadlock on real threads)\n",
                     core->label().c_str());
        std::abort();
    }
    // The target is serial: its earlier work runs first, then this block, all inline.
    std::deque<Item> earlier;
    {
        std::lock_guard lock(mutex_);
        timers_.moveDue(clock_.now(), ready_);
        std::deque<Item> kept;
        for (Item& item : ready_) {
            (item.core == core ? earlier : kept).push_back(std::move(item));
        }
        ready_.swap(kept);
    }
    for (Item& item : earlier) {
        run(item);
        item = {};
    }
    if (core->alive) {
        Item item{core, Job{work, nullptr}};
        run(item);
    }
}

bool VirtualRuntime::step() {
    requirePumpThread("runOne");
    return runOne();
}

std::size_t VirtualRuntime::runUntilIdle() {
    requirePumpThread("runUntilIdle");
    std::size_t count = 0;
    while (runOne()) {
        ++count;
    }
    return count;
}

std::optional<MonotonicTime> VirtualRuntime::nextDeadline() const {
    std::lock_guard lock(mutex_);
    return timers_.empty() ? std::nullopt : std::optional(timers_.nextDeadline());
}

void VirtualRuntime::runUntil(MonotonicTime time, const std::function<bool()>* condition) {
    requirePumpThread("runUntil");
    for (;;) {
        runUntilIdle();
        if (condition != nullptr && (*condition)()) {
            return;
        }
        const auto next = nextDeadline();
        if (!next || *next > time) {
            break;
        }
        clock_.advanceTo(*next);
    }
    clock_.advanceTo(time);
    runUntilIdle();
}

std::optional<MonotonicTime> VirtualRuntime::runDueMainWork() {
    runUntilIdle();
    return nextDeadline();
}

std::size_t VirtualRuntime::pendingCount() const {
    std::lock_guard lock(mutex_);
    return ready_.size() + timers_.size();
}

} // namespace qv::platform::detail

namespace qv::platform {

VirtualDispatch::VirtualDispatch(WallTime start)
    : runtime_(std::make_shared<detail::VirtualRuntime>(start)) {
    runtime_->open();
    previous_ = detail::Runtime::install(runtime_.get());
}

VirtualDispatch::~VirtualDispatch() {
    detail::Runtime::install(previous_);
    runtime_->close();
}

VirtualClock& VirtualDispatch::clock() {
    return runtime_->virtualClock();
}

std::size_t VirtualDispatch::runUntilIdle() {
    return runtime_->runUntilIdle();
}

bool VirtualDispatch::runOne() {
    return runtime_->step();
}

void VirtualDispatch::runFor(Seconds duration) {
    runUntil(clock().now() + nanosecondsFrom(duration));
}

void VirtualDispatch::runUntil(MonotonicTime time) {
    runtime_->runUntil(time, nullptr);
}

bool VirtualDispatch::runUntil(const std::function<bool()>& condition, Seconds limit) {
    runtime_->runUntil(clock().now() + nanosecondsFrom(limit), &condition);
    return condition();
}

std::size_t VirtualDispatch::pendingCount() const {
    return runtime_->pendingCount();
}

} // namespace qv::platform
