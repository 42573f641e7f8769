#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::platform::compute {

// Persistent threads that run the tiles of one pass at a time. The caller of
// run() works on tiles too and returns when every tile is done, so a pass is
// complete when run() returns. Passes from several threads take turns.
class WorkerPool {
public:
    // workers: threads besides the caller (0: the caller runs everything).
    explicit WorkerPool(std::size_t workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    std::size_t workerCount() const { return threads_.size(); }

    // Calls task(context, i) once for every i in [0, count), spread over the
    // workers and the caller. Allocates nothing.
    void run(std::size_t count, void (*task)(void* context, std::size_t index), void* context);

private:
    struct Job {
        void (*task)(void*, std::size_t) = nullptr;
        void* context = nullptr;
        std::size_t count = 0;
    };

    void workerLoop();
    // Takes tiles of the current job until none is left.
    void drain(const Job& job);

    std::mutex runMutex_; // one pass at a time: each pass already uses every core
    std::mutex mutex_;    // guards the fields below
    std::condition_variable wake_;
    std::condition_variable done_;
    Job job_;
    std::size_t nextIndex_ = 0;
    std::size_t unfinished_ = 0;
    std::size_t busyWorkers_ = 0; // workers inside the current job
    std::size_t generation_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace qv::platform::compute
