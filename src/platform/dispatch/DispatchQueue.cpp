#include "platform/dispatch/DispatchQueue.hpp"

#include "platform/dispatch/detail/Runtime.hpp"

#include <algorithm>
#include <cmath>
#include <thread>

namespace qv::platform {

namespace {

// Static initialisation runs on the thread that starts the program.
const std::thread::id kMainThread = std::this_thread::get_id();

thread_local detail::QueueCore* tlsCurrentQueue = nullptr;

// Delays beyond a century are treated as a century, so the deadline cannot overflow.
std::chrono::nanoseconds delayOf(Seconds delay) {
    constexpr double kCentury = 100.0 * 365.25 * 86400.0;
    const double seconds =
        std::isnan(delay.count()) ? 0.0 : std::clamp(delay.count(), 0.0, kCentury);
    return nanosecondsFrom(Seconds(seconds));
}

} // namespace

namespace detail {

QueueCore* QueueCore::current() {
    return tlsCurrentQueue;
}

QueueCore::RunningScope::RunningScope(QueueCore* core) : previous_(tlsCurrentQueue) {
    tlsCurrentQueue = core;
}

QueueCore::RunningScope::~RunningScope() {
    tlsCurrentQueue = previous_;
}

void runJob(QueueCore* core, Job& job) {
    if (job.isCancelled() || !job.work) {
        return;
    }
    QueueCore::RunningScope scope(core);
    job.work();
}

bool onMainThread() {
    return std::this_thread::get_id() == kMainThread;
}

} // namespace detail

CancelToken::CancelToken(std::shared_ptr<detail::CancelState> state) : state_(std::move(state)) {}

void CancelToken::cancel() const {
    if (state_) {
        state_->cancelled = true;
    }
}

bool CancelToken::isCancelled() const {
    return state_ && state_->cancelled.load();
}

DispatchQueue::DispatchQueue(std::string label, QoS qos)
    : core_(detail::Runtime::current().makeSerialQueue(std::move(label), qos)) {}

DispatchQueue::DispatchQueue(std::shared_ptr<detail::QueueCore> core) : core_(std::move(core)) {}

DispatchQueue::~DispatchQueue() {
    core_->shutdown();
}

DispatchQueue& DispatchQueue::main() {
    return detail::Runtime::current().mainQueue();
}

const std::string& DispatchQueue::label() const {
    return core_->label();
}

QoS DispatchQueue::qos() const {
    return core_->qos();
}

void DispatchQueue::async(std::function<void()> work) {
    core_->enqueue(detail::Job{std::move(work), nullptr});
}

CancelToken DispatchQueue::asyncAfter(Seconds delay, std::function<void()> work) {
    return asyncAt(detail::Runtime::current().clock().now() + delayOf(delay), std::move(work));
}

CancelToken DispatchQueue::asyncAt(MonotonicTime deadline, std::function<void()> work) {
    auto state = std::make_shared<detail::CancelState>();
    core_->enqueueAt(deadline, detail::Job{std::move(work), state});
    return CancelToken(std::move(state));
}

bool DispatchQueue::isCurrent() const {
    return detail::QueueCore::current() == core_.get() || (core_->isMain() && isMainThread());
}

void DispatchQueue::syncVoid(std::function<void()> work) {
    if (isCurrent()) {
        work();
    } else {
        core_->syncFromElsewhere(work);
    }
}

bool isMainThread() {
    if (const detail::QueueCore* queue = detail::QueueCore::current()) {
        return queue->isMain();
    }
    return detail::onMainThread();
}

Caller currentCaller() {
    detail::Runtime& runtime = detail::Runtime::current();
    const detail::QueueCore* queue = detail::QueueCore::current();
    if (queue == &runtime.pool()) {
        queue = nullptr;
    }
    if (queue == nullptr && detail::onMainThread()) {
        queue = runtime.mainQueue().core_.get();
    }
    return {queue, std::this_thread::get_id()};
}

void WorkerPool::async(std::function<void()> task, QoS /*qos: recorded by callers only*/) {
    detail::Runtime::current().pool().enqueue(detail::Job{std::move(task), nullptr});
}

} // namespace qv::platform
