// Work tied to an owner's life: objects made to end on the main thread (whichever thread
// drops the last reference, the destructor runs on the main thread, and the owner's release
// runs the main queue until it has), and an owner's pool tasks (none runs on after the
// owner). Both refuse the calls that would deadlock or run main-queue work elsewhere.

#include "PoolBarrier.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/dispatch/PoolTasks.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace qv::platform;
using qv::testing::waitForEarlierPoolTasks;

namespace {

// Records where and whether its destructor ran.
struct EndProbe {
    std::atomic<bool>& ended;
    std::thread::id& endedOn;
    ~EndProbe() {
        endedOn = std::this_thread::get_id();
        ended = true;
    }
};

} // namespace

TEST(MainThreadEnd, TheLastReferenceDroppedOnAnotherThreadEndsTheObjectOnTheMainThread) {
    // Many rounds: the other thread lets go right after the owner, as a camera's block that
    // locked the object a moment before does.
    for (int round = 0; round < 200; ++round) {
        std::atomic<bool> ended{false};
        std::thread::id endedOn;
        auto owner = makeEndingOnMainThread(new EndProbe{ended, endedOn});
        std::weak_ptr<EndProbe> weak = owner;
        std::thread blockThread([held = weak.lock(), &weak]() mutable {
            while (weak.use_count() > 1) {
                std::this_thread::yield(); // until the owner has let go
            }
            held.reset();
        });
        releaseWhileRunningMainQueue(owner, "the probe");
        EXPECT_TRUE(ended.load()) << "round " << round;
        EXPECT_EQ(endedOn, std::this_thread::get_id()) << "round " << round;
        blockThread.join();
    }
}

TEST(MainThreadEnd, AnEndQueuedOnTheMainQueueAndDroppedStillEndsTheObject) {
    std::atomic<bool> ended{false};
    std::thread::id endedOn;
    {
        VirtualDispatch dispatch;
        DispatchQueue queue("camera");
        auto owner = makeEndingOnMainThread(new EndProbe{ended, endedOn});
        queue.async([held = owner] {});
        owner.reset();
        // The block holds the last reference; under a VirtualDispatch it runs on this thread,
        // so the object ends as the block goes.
        dispatch.runUntilIdle();
        EXPECT_TRUE(ended.load());
    }
    // A last reference dropped by a real thread while nothing runs the main queue any more.
    ended = false;
    {
        auto owner = makeEndingOnMainThread(new EndProbe{ended, endedOn});
        std::thread([held = std::move(owner)]() mutable { held.reset(); }).join();
        EXPECT_FALSE(ended.load()); // queued on the main queue
        while (!ended.load()) {
            MainLoop::runDueWork();
        }
        EXPECT_EQ(endedOn, std::this_thread::get_id());
    }
}

TEST(MainThreadEnd, ReleasingAnOrdinaryReferenceOnlyLetsGo) {
    auto shared = std::make_shared<int>(7);
    auto other = shared;
    releaseWhileRunningMainQueue(shared, "the number");
    EXPECT_EQ(shared, nullptr);
    EXPECT_EQ(*other, 7);
}

TEST(MainThreadEnd, ReleasingOffTheMainThreadAbortsWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Before, it ran main-queue work on the caller's thread, which then counted as the main
    // thread, and ended the object there.
    EXPECT_DEATH(
        {
            std::thread([] {
                auto owner = makeEndingOnMainThread(new int(7));
                releaseWhileRunningMainQueue(owner, "the number");
            }).join();
        },
        "releaseWhileRunningMainQueue called off the main thread \\(on another thread\\)");
    EXPECT_DEATH(
        {
            VirtualDispatch dispatch;
            DispatchQueue camera("camera");
            camera.async([] {
                auto owner = makeEndingOnMainThread(new int(7));
                releaseWhileRunningMainQueue(owner, "the number");
            });
            dispatch.runUntilIdle();
        },
        "releaseWhileRunningMainQueue called off the main thread \\(in a block of queue "
        "\"camera\"\\): it runs main-queue work");
}

TEST(MainThreadEnd, AWaitPastThreeSecondsSaysOnceWhatItWaits) {
    // A camera's timer holds the object for `held` seconds of virtual time; the release runs
    // the main queue and lets time go on until the object has ended.
    for (const double held : {2.0, 10.0}) {
        VirtualDispatch dispatch;
        ConsoleCapture console;
        std::atomic<bool> ended{false};
        std::thread::id endedOn;
        DispatchQueue camera("camera");
        auto owner = makeEndingOnMainThread(new EndProbe{ended, endedOn});
        camera.asyncAfter(Seconds(held), [kept = owner] {});
        const MonotonicTime start = monotonicNow();
        releaseWhileRunningMainQueue(owner, "the probe");
        EXPECT_TRUE(ended.load()) << held;
        EXPECT_EQ(monotonicNow() - start, nanosecondsFrom(Seconds(held)));
        EXPECT_EQ(console.text(),
                  held > endPatience.count()
                      ? "Still waiting for the probe to end after 3 s: something still holds it\n"
                      : "");
    }
}

// Pool tasks of an owner: its end waits for the one running and drops those not begun.
TEST(PoolTasks, TheOwnersEndWaitsForRunningTasksAndDropsTheOthers) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> ran{0};
        std::atomic<bool> running{false};
        std::atomic<bool> finished{false};
        {
            PoolTasks tasks;
            tasks.async([&] {
                running = true;
                std::this_thread::yield();
                finished = true;
                ++ran;
            });
            for (int i = 0; i < 64; ++i) {
                tasks.async([&] { ++ran; });
            }
            while (!running.load()) {
                std::this_thread::yield(); // the first task has begun
            }
        }
        EXPECT_TRUE(finished.load()) << "round " << round; // waited for
        const int afterEnd = ran.load();
        waitForEarlierPoolTasks(); // later tasks that had not begun did nothing
        EXPECT_EQ(ran.load(), afterEnd) << "round " << round;
    }
}

TEST(PoolTasks, AnOwnerEndedFromOneOfItsOwnTasksAbortsWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Before, its end waited for the very task it ran in, for ever: the alarm bounds the
    // child's wait should the check be missing.
    const char* message = "PoolTasks: an owner is ending from one of its own pool tasks";
    EXPECT_DEATH(
        {
            ::alarm(20);
            auto* tasks = new PoolTasks;
            std::promise<void> never;
            tasks->async([tasks] { delete tasks; });
            never.get_future().wait();
        },
        message);
    EXPECT_DEATH(
        {
            ::alarm(20);
            VirtualDispatch dispatch;
            auto tasks = std::make_unique<PoolTasks>();
            tasks->async([&tasks] { tasks.reset(); });
            dispatch.runUntilIdle();
        },
        message);
}
