// Work tied to an owner's life: objects made to end on the main thread (whichever thread
// drops the last reference, the destructor runs on the main thread, and the owner's release
// waits for it), and an owner's pool tasks (none runs on after the owner).

#include "PoolBarrier.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/dispatch/PoolTasks.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

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
        releaseOnMainThread(owner);
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
    releaseOnMainThread(shared);
    EXPECT_EQ(shared, nullptr);
    EXPECT_EQ(*other, 7);
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
