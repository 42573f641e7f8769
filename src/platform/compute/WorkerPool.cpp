#include "platform/compute/WorkerPool.hpp"

namespace qv::platform::compute {

WorkerPool::WorkerPool(std::size_t workers) {
    threads_.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { workerLoop(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) {
        thread.join();
    }
}

void WorkerPool::run(std::size_t count, void (*task)(void*, std::size_t), void* context) {
    if (count == 0) {
        return;
    }
    std::lock_guard turn(runMutex_);
    const Job job{task, context, count};
    if (count == 1 || threads_.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            task(context, i);
        }
        return;
    }
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        nextIndex_ = 0;
        unfinished_ = count;
        ++generation_;
    }
    wake_.notify_all();
    drain(job);
    std::unique_lock lock(mutex_);
    // Wait for the last tile and for every worker to have left this job, so
    // no worker can take an index of the next job with this job's task.
    done_.wait(lock, [this] { return unfinished_ == 0 && busyWorkers_ == 0; });
    job_ = Job{};
}

void WorkerPool::drain(const Job& job) {
    for (;;) {
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            if (nextIndex_ >= job.count) {
                return;
            }
            index = nextIndex_++;
        }
        job.task(job.context, index);
        std::lock_guard lock(mutex_);
        if (--unfinished_ == 0) {
            done_.notify_all();
        }
    }
}

void WorkerPool::workerLoop() {
    std::size_t seen = 0;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || (generation_ != seen && job_.task); });
            if (stopping_) {
                return;
            }
            seen = generation_;
            job = job_;
            ++busyWorkers_;
        }
        drain(job);
        std::lock_guard lock(mutex_);
        if (--busyWorkers_ == 0) {
            done_.notify_all();
        }
    }
}

} // namespace qv::platform::compute
