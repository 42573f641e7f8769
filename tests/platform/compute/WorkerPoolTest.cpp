#include "platform/compute/WorkerPool.hpp"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::platform::compute {
namespace {

struct Counts {
    std::vector<std::atomic<int>> hits;
    explicit Counts(std::size_t n) : hits(n) {}
};

void hit(void* context, std::size_t index) {
    static_cast<Counts*>(context)->hits[index].fetch_add(1);
}

TEST(WorkerPool, RunsEveryIndexExactlyOnceAcrossManyJobs) {
    WorkerPool pool(3);
    for (std::size_t job = 0; job < 200; ++job) {
        const std::size_t count = 1 + job % 37;
        Counts counts(count);
        pool.run(count, hit, &counts);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(counts.hits[i].load(), 1) << "job " << job << " index " << i;
        }
    }
}

TEST(WorkerPool, PassesFromSeveralThreadsTakeTurns) {
    WorkerPool pool(2);
    std::vector<std::thread> callers;
    std::atomic<int> failures{0};
    for (int c = 0; c < 3; ++c) {
        callers.emplace_back([&] {
            for (int job = 0; job < 50; ++job) {
                Counts counts(64);
                pool.run(64, hit, &counts);
                for (auto& h : counts.hits) {
                    if (h.load() != 1) {
                        failures.fetch_add(1);
                    }
                }
            }
        });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

// A job whose tile `held` waits until every other tile has run.
struct HeldTile {
    HeldTile(std::size_t heldIndex, std::size_t tiles) : held(heldIndex), count(tiles) {}

    std::size_t held;
    std::size_t count;
    std::mutex mutex;
    std::condition_variable othersDone;
    std::size_t done = 0;
    std::vector<int> hits = std::vector<int>(count);
};

void holdOrHit(void* context, std::size_t index) {
    auto& job = *static_cast<HeldTile*>(context);
    std::unique_lock lock(job.mutex);
    ++job.hits[index];
    if (index == job.held) {
        job.othersDone.wait(lock, [&] { return job.done == job.count - 1; });
        return;
    }
    if (++job.done == job.count - 1) {
        job.othersDone.notify_all();
    }
}

// Every thread starts on a band of its own; the tiles left in the band of a
// thread that is held up must be taken by the others.
TEST(WorkerPool, TilesOfAThreadHeldUpAreTakenByTheOthers) {
    WorkerPool pool(3);
    for (const std::size_t held : {0u, 1u, 10u, 25u, 39u}) {
        HeldTile job(held, 40);
        pool.run(40, holdOrHit, &job);
        for (std::size_t i = 0; i < 40; ++i) {
            ASSERT_EQ(job.hits[i], 1) << "held " << held << " index " << i;
        }
    }
}

TEST(WorkerPool, WithoutWorkersTheCallerRunsEverything) {
    WorkerPool pool(0);
    Counts counts(10);
    pool.run(10, hit, &counts);
    for (auto& h : counts.hits) {
        EXPECT_EQ(h.load(), 1);
    }
    pool.run(0, hit, &counts); // nothing to do
}

} // namespace
} // namespace qv::platform::compute
