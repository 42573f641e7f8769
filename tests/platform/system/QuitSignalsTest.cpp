// SIGINT, SIGTERM and SIGHUP sent to the process reach the watcher's callback instead of ending the
// process, also after the watcher has gone; one ignored when the watch starts (nohup, a
// shell's background job) stays ignored. A binary of its own: the signals must be blocked
// before any other thread starts.

#include "platform/system/QuitSignals.hpp"

#include "ProcessTestSupport.hpp"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

using testing::ChildProcess;

// What a process started with `ignored` ignored saw: it watches the quit signals, sends
// itself `ignored` and then SIGTERM, and writes on `report` each signal its watcher was
// called with, then whether `ignored` is blocked or pending. Its status is 0 once the
// watcher had SIGTERM; the ignored signal ends it at once if it is not ignored after all.
int watchWithOneIgnored(int ignored, int report) {
    // A fresh process: no signal blocked (the test's own watcher blocked them here).
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    std::signal(ignored, SIG_IGN);

    std::mutex mutex;
    std::condition_variable arrived;
    bool terminated = false;
    std::string error;
    auto watcher = QuitSignals::watch(
        [&](int signal) {
            ::dprintf(report, "watched %d\n", signal);
            std::lock_guard lock(mutex);
            terminated = terminated || signal == SIGTERM;
            arrived.notify_all();
        },
        error);
    if (!watcher) {
        return 2;
    }
    ::kill(::getpid(), ignored);
    ::kill(::getpid(), SIGTERM);
    {
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, std::chrono::seconds(10), [&] { return terminated; })) {
            return 3;
        }
    }
    sigset_t blocked;
    sigset_t pending;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    ::sigpending(&pending);
    ::dprintf(report, "blocked %d pending %d\n", sigismember(&blocked, ignored),
              sigismember(&pending, ignored));
    return 0;
}

TEST(QuitSignals, ASignalIgnoredAtTheStartStaysIgnoredAndTheOthersAreWatched) {
    for (const int ignored : {SIGHUP, SIGINT}) {
        SCOPED_TRACE(ignored);
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        ChildProcess child([&](ChildProcess&) {
            ::close(report[0]);
            return watchWithOneIgnored(ignored, report[1]);
        });
        ::close(report[1]);
        EXPECT_EQ(child.finish(), 0);
        std::string said;
        char buffer[256];
        for (ssize_t n = 0; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) {
            said.append(buffer, std::size_t(n));
        }
        ::close(report[0]);
        EXPECT_EQ(said, "watched " + std::to_string(SIGTERM) + "\nblocked 0 pending 0\n");
    }
}

TEST(QuitSignals, EachSignalCallsTheWatcherAndNoneEndsTheProcess) {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<int> received;
    std::string error;
    auto watcher = QuitSignals::watch(
        [&](int signal) {
            std::lock_guard lock(mutex);
            received.push_back(signal);
            arrived.notify_all();
        },
        error);
    ASSERT_NE(watcher, nullptr) << error;

    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::kill(::getpid(), signal);
        std::unique_lock lock(mutex);
        // Bounded only so that a broken watcher fails the test instead of hanging it.
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] {
            return !received.empty() && received.back() == signal;
        }));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));

    watcher.reset();
    ::kill(::getpid(), SIGTERM); // stays pending: the process goes on
    ::kill(::getpid(), SIGHUP);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGTERM), 1);
    EXPECT_EQ(sigismember(&pending, SIGHUP), 1);
}

} // namespace
} // namespace qv::platform
