#include "platform/compute/WorkerPool.hpp"

#include <atomic>
#include <gtest/gtest.h>
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
