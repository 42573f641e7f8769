#include "platform/compute/WorkerPool.hpp"

namespace qv::platform::compute {

WorkerPool::WorkerPool(std::size_t workers) : bands_(workers + 1) {
    threads_.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        threads_.emplace_back([this, i] { workerLoop(i + 1); });
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
        const std::size_t participants = bands_.size();
        for (std::size_t p = 0; p < participants; ++p) {
            bands_[p] = Band{count * p / participants, count * (p + 1) / participants};
        }
        unfinished_ = count;
        ++generation_;
    }
    wake_.notify_all();
    drain(job, 0);
    std::unique_lock lock(mutex_);
    // Wait for the last tile and for every worker to have left this job, so
    // no worker can take an index of the next job with this job's task.
    done_.wait(lock, [this] { return unfinished_ == 0 && busyWorkers_ == 0; });
    job_ = Job{};
}

bool WorkerPool::take(std::size_t self, std::size_t& index) {
    Band& own = bands_[self];
    if (own.next == own.end) {
        // Steal the back half of the band with the most left, so its owner
        // keeps walking forward and this thread walks forward through the rest.
        Band* victim = nullptr;
        for (Band& band : bands_) {
            if (!victim || band.end - band.next > victim->end - victim->next) {
                victim = &band;
            }
        }
        const std::size_t left = victim->end - victim->next;
        if (left == 0) {
            return false;
        }
        const std::size_t middle = victim->next + left / 2;
        own = Band{middle, victim->end};
        victim->end = middle;
    }
    index = own.next++;
    return true;
}

void WorkerPool::drain(const Job& job, std::size_t self) {
    // One lock per tile: it counts the tile just run and takes the next.
    for (bool ran = false;; ran = true) {
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            if (ran && --unfinished_ == 0) {
                done_.notify_all();
            }
            if (!take(self, index)) {
                return;
            }
        }
        job.task(job.context, index);
    }
}

void WorkerPool::workerLoop(std::size_t self) {
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
        drain(job, self);
        std::lock_guard lock(mutex_);
        if (--busyWorkers_ == 0) {
            done_.notify_all();
        }
    }
}

} // namespace qv::platform::compute
