// SIGINT, SIGTERM and SIGHUP sent to the process reach the watcher's callback instead of ending the
// process, also after the watcher has gone. A binary of its own: the signals must be
// blocked before any other thread starts.

#include "platform/system/QuitSignals.hpp"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

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
