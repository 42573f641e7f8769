#include "platform/dispatch/VirtualDispatch.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/OperationQueue.hpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace qv::platform;
using namespace std::chrono_literals;

namespace {

class VirtualDispatchTest : public ::testing::Test {
protected:
    VirtualDispatch dispatch;
    std::vector<std::string> log;

    std::function<void()> note(std::string entry) {
        return [this, entry] { log.push_back(entry); };
    }
};

} // namespace

TEST_F(VirtualDispatchTest, DueWorkRunsInDeadlineOrderAndFifoForEqualDeadlines) {
    DispatchQueue session("PhotoSession", QoS::userInitiated);
    auto& main = DispatchQueue::main();
    main.asyncAfter(2s, note("main 2s"));
    session.asyncAfter(1s, note("session 1s a"));
    main.asyncAfter(1s, note("main 1s"));
    session.asyncAfter(1s, note("session 1s b"));
    main.asyncAfter(0.5s, note("main 0.5s"));

    dispatch.runFor(0.999s);
    EXPECT_EQ(log, (std::vector<std::string>{"main 0.5s"}));
    dispatch.runFor(1.001s);
    EXPECT_EQ(log, (std::vector<std::string>{"main 0.5s", "session 1s a", "main 1s", "session 1s b",
                                             "main 2s"}));
    EXPECT_EQ(dispatch.pendingCount(), 0u);
}

TEST_F(VirtualDispatchTest, ADueTimerQueuesBehindWorkAlreadyQueued) {
    auto& main = DispatchQueue::main();
    main.asyncAfter(1s, note("timer"));
    dispatch.clock().advance(1s); // due, but not yet pumped
    main.async(note("queued first"));
    dispatch.runUntilIdle();
    // The timer became ready when the queue was next pumped, after "queued first" was queued.
    EXPECT_EQ(log, (std::vector<std::string>{"queued first", "timer"}));

    log.clear();
    main.async([&] {
        main.async(note("async"));
        main.asyncAfter(0s, note("due at once"));
        main.async(note("async again"));
    });
    dispatch.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"async", "due at once", "async again"}));
}

TEST_F(VirtualDispatchTest, TimeMovesOnlyWhenTheTestSaysSo) {
    const MonotonicTime start = monotonicNow();
    const WallTime wallStart = wallNow();
    EXPECT_TRUE(Clock::current().isVirtual());
    dispatch.runUntilIdle();
    EXPECT_EQ(monotonicNow(), start);
    MonotonicTime seen{};
    DispatchQueue::main().asyncAfter(1.5s, [&] { seen = monotonicNow(); });
    dispatch.runFor(10s);
    EXPECT_EQ(seen - start, 1500ms);
    EXPECT_EQ(monotonicNow() - start, 10s);
    EXPECT_EQ(wallNow() - wallStart, 10s);
}

TEST_F(VirtualDispatchTest, CancelledWorkNeverRuns) {
    auto& main = DispatchQueue::main();
    CancelToken late = main.asyncAfter(2s, note("late"));
    CancelToken early = main.asyncAfter(1s, [&] {
        log.push_back("early");
        late.cancel();
    });
    CancelToken dueNow = main.asyncAfter(0s, note("due now"));
    dueNow.cancel();
    dispatch.runFor(5s);
    EXPECT_EQ(log, (std::vector<std::string>{"early"}));
    EXPECT_TRUE(late.isCancelled());
    EXPECT_FALSE(early.isCancelled());
    CancelToken empty;
    empty.cancel(); // harmless
}

TEST_F(VirtualDispatchTest, SyncRunsInlineOnItsOwnQueueAndAfterEarlierWorkElsewhere) {
    DispatchQueue library("LibraryQueue", QoS::utility);
    auto& main = DispatchQueue::main();
    EXPECT_TRUE(isMainThread());
    EXPECT_TRUE(main.isCurrent());
    main.sync(note("main sync from the main thread"));

    int stored = 0;
    library.async([&] { stored = 42; });
    main.async([&] {
        // The library's earlier write runs before the read, as on a serial queue.
        const int read = library.sync([&] {
            EXPECT_TRUE(library.isCurrent());
            EXPECT_FALSE(isMainThread());
            library.sync(note("nested sync inline"));
            return stored;
        });
        log.push_back("read " + std::to_string(read));
    });
    dispatch.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"main sync from the main thread", "nested sync inline",
                                             "read 42"}));
}

TEST_F(VirtualDispatchTest, HopsBetweenQueuesRunInOneReproducibleOrder) {
    DispatchQueue session("PhotoSession", QoS::userInitiated);
    DispatchQueue saver("PhotoSaverSession", QoS::utility);
    auto& main = DispatchQueue::main();
    session.async([&] {
        log.push_back("session 1");
        main.async(note("main from session"));
        saver.async(note("saver from session"));
    });
    main.async([&] {
        log.push_back("main 1");
        session.async(note("session from main"));
    });
    EXPECT_EQ(dispatch.runUntilIdle(), 5u);
    EXPECT_EQ(log, (std::vector<std::string>{"session 1", "main 1", "main from session",
                                             "saver from session", "session from main"}));
}

TEST_F(VirtualDispatchTest, NoWorkRunsAfterTheQueueIsGone) {
    auto queue = std::make_unique<DispatchQueue>("video data queue", QoS::userInitiated);
    queue->async(note("pending"));
    queue->asyncAfter(1s, note("timer"));
    queue.reset();
    dispatch.runFor(2s);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(dispatch.pendingCount(), 0u);

    // Destroyed from one of its own blocks: that block finishes, nothing after it runs.
    queue = std::make_unique<DispatchQueue>("PhotoSession");
    queue->async([&] {
        queue.reset();
        log.push_back("finished the block that ended its queue");
    });
    queue->async(note("after the end"));
    dispatch.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"finished the block that ended its queue"}));
}

TEST_F(VirtualDispatchTest, AnHourOfSensorTicksRunsInVirtualTime) {
    OperationQueue sensors("accelerometer", QoS::userInitiated);
    int ticks = 0;
    MonotonicTime last{};
    const MonotonicTime start = monotonicNow();
    std::function<void()> schedule = [&] {
        DispatchQueue::main().asyncAfter(0.02s, [&] {
            sensors.addOperation([&] {
                ++ticks;
                last = monotonicNow();
            });
            schedule();
        });
    };
    schedule();
    dispatch.runFor(3600s);
    EXPECT_NEAR(ticks, 180000, 1);
    EXPECT_LE(last - start, 3600s);
    EXPECT_EQ(monotonicNow() - start, 3600s);
}

TEST_F(VirtualDispatchTest, OperationsAddedBeforeCancelAllAreSkipped) {
    OperationQueue queue;
    queue.addOperation(note("cancelled"));
    queue.cancelAllOperations();
    queue.addOperation(note("kept"));
    WorkerPool::async(note("pool task"), QoS::userInitiated);
    dispatch.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"kept", "pool task"}));
}

TEST_F(VirtualDispatchTest, RunUntilStopsWhenTheConditionHolds) {
    int count = 0;
    std::function<void()> tick = [&] {
        ++count;
        DispatchQueue::main().asyncAfter(1s, tick);
    };
    DispatchQueue::main().async(tick);
    const MonotonicTime start = monotonicNow();
    EXPECT_TRUE(dispatch.runUntil([&] { return count == 5; }, 60s));
    EXPECT_EQ(monotonicNow() - start, 4s);
    EXPECT_FALSE(dispatch.runUntil([&] { return count == 100; }, 10s));
    EXPECT_EQ(count, 15);
}

TEST(VirtualDispatchLifetime, EndingDropsPendingWorkAndRestoresRealTime) {
    auto flag = std::make_shared<bool>(false);
    {
        VirtualDispatch dispatch;
        DispatchQueue::main().asyncAfter(1s, [flag] { *flag = true; });
        EXPECT_EQ(dispatch.pendingCount(), 1u);
    }
    EXPECT_EQ(flag.use_count(), 1); // the pending block and its captures are gone
    EXPECT_FALSE(Clock::current().isVirtual());
}
