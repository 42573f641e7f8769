#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/OperationQueue.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

using namespace qv::platform;
using namespace std::chrono_literals;

// These run on real threads (and under ThreadSanitizer); they wait for completion, never
// for time.

TEST(RealDispatch, SerialQueueRunsInOrderOnItsOwnThread) {
    DispatchQueue queue("PhotoSession", QoS::userInitiated);
    EXPECT_EQ(queue.label(), "PhotoSession");
    EXPECT_EQ(queue.qos(), QoS::userInitiated);
    std::vector<int> order; // touched only on the queue
    std::thread::id queueThread;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            order.push_back(i);
            queueThread = std::this_thread::get_id();
            EXPECT_FALSE(isMainThread());
            EXPECT_TRUE(queue.isCurrent());
        });
    }
    // sync waits behind the earlier work; a nested sync onto the same queue runs inline.
    const std::vector<int> seen = queue.sync([&] {
        queue.sync([&] { order.push_back(100); });
        return order;
    });
    ASSERT_EQ(seen.size(), 101u);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    }
    EXPECT_NE(queue.sync([&] { return queueThread; }), std::this_thread::get_id());

    std::promise<void> timerRan;
    queue.asyncAfter(-1s, [&] { timerRan.set_value(); }); // already due
    timerRan.get_future().wait();
}

TEST(RealDispatch, DestroyedFromItsOwnBlockEndsWithoutDeadlock) {
    auto queue = std::make_unique<DispatchQueue>("LibraryQueue", QoS::utility);
    std::promise<void> ended;
    std::atomic<bool> ranAfter{false};
    auto witness = std::make_shared<int>(0);
    std::latch posted(1);
    DispatchQueue* raw = queue.get();
    raw->async([&] {
        posted.wait();
        queue.reset();
        ended.set_value();
    });
    raw->async([&, witness] { ranAfter = true; }); // behind the block that ends the queue
    posted.count_down();
    const std::weak_ptr<int> watch = witness;
    witness.reset();
    ended.get_future().wait();
    EXPECT_FALSE(ranAfter);
    EXPECT_TRUE(watch.expired()); // the dropped block and its captures are gone
}

TEST(RealDispatch, DestructorWaitsForTheRunningBlockThenDropsTheRest) {
    auto queue = std::make_unique<DispatchQueue>("video data queue", QoS::userInitiated);
    std::latch started(1);
    std::promise<void> go;
    std::atomic<bool> firstFinished{false};
    std::atomic<int> laterRuns{0};
    queue->async([&, goFuture = go.get_future().share()] {
        started.count_down();
        goFuture.wait();
        firstFinished = true;
    });
    for (int i = 0; i < 10; ++i) {
        queue->async([&] { ++laterRuns; });
    }
    started.wait();
    std::thread releaser([&] { go.set_value(); });
    queue.reset();
    EXPECT_TRUE(firstFinished);
    const int runs = laterRuns;
    releaser.join();
    EXPECT_EQ(laterRuns, runs); // nothing ran after the destructor returned
}

TEST(RealDispatch, MainQueueIsDrainedByTheHostOnTheMainThread) {
    std::atomic<int> wakeups{0};
    MainLoop::setWakeup([&] { ++wakeups; });
    DispatchQueue worker("worker");
    std::atomic<int> mainRuns{0};
    std::atomic<bool> syncReturned{false};
    worker.async([&] {
        DispatchQueue::main().async([&] {
            EXPECT_TRUE(isMainThread());
            ++mainRuns;
        });
        // A synchronous hop to the main queue, answered by the host's next drain.
        const int value = DispatchQueue::main().sync([] { return 7; });
        EXPECT_EQ(value, 7);
        syncReturned = true;
    });
    while (!syncReturned) {
        MainLoop::runDueWork();
        std::this_thread::yield();
    }
    EXPECT_EQ(mainRuns, 1);
    EXPECT_GE(wakeups, 2);
    MainLoop::setWakeup({});
    EXPECT_EQ(MainLoop::runDueWork(), std::nullopt);
}

TEST(RealDispatch, WorkerPoolAndOperationQueueRunEveryTask) {
    constexpr int kTasks = 64;
    std::latch done(kTasks);
    std::atomic<int> sum{0};
    for (int i = 1; i <= kTasks; ++i) {
        WorkerPool::async([&, i] {
            EXPECT_FALSE(isMainThread());
            sum += i;
            done.count_down();
        });
    }
    done.wait();
    EXPECT_EQ(sum, kTasks * (kTasks + 1) / 2);

    OperationQueue operations("accelerometer");
    std::promise<int> last;
    int count = 0; // touched only by operations, which run one at a time
    for (int i = 0; i < 100; ++i) {
        operations.addOperation([&] {
            if (++count == 100) {
                last.set_value(count);
            }
        });
    }
    EXPECT_EQ(last.get_future().get(), 100);
}
