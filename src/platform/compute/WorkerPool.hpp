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
//
// Each thread (the caller first) starts on its own contiguous band of tile
// indices and takes them in order, so it streams through one region of memory
// as a loop over rows would; a thread whose band runs out takes the back half
// of the band with the most tiles left, so a late or slow thread holds no one up.
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

    // Indices [next, end) of the current job still to be taken by one thread.
    struct Band {
        std::size_t next = 0;
        std::size_t end = 0;
    };

    void workerLoop(std::size_t self);
    // Takes tiles of the current job until none is left; self is the
    // thread's band (0 for the caller).
    void drain(const Job& job, std::size_t self);
    // The next index for thread `self`, stealing when its band is empty;
    // false when no index is left. Called with mutex_ held.
    bool take(std::size_t self, std::size_t& index);

    std::mutex runMutex_; // one pass at a time: each pass already uses every core
    std::mutex mutex_;    // guards the fields below
    std::condition_variable wake_;
    std::condition_variable done_;
    Job job_;
    std::vector<Band> bands_; // one per thread, the caller's first
    std::size_t unfinished_ = 0;
    std::size_t busyWorkers_ = 0; // workers inside the current job
    std::size_t generation_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace qv::platform::compute
