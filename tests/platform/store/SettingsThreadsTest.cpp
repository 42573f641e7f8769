// On real threads: while the settings file is being written on the store's queue, reads and
// changes on other threads go on without waiting for it.

#include "TestHome.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <chrono>
#include <future>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(SettingsThreads, ReadsAndChangesNeverWaitForAWriteUnderWay) {
    const fs::path file = testing::freshTestFolder() / "settings.json";
    std::promise<void> writing;
    std::promise<void> changedMeanwhile;
    std::future<void> meanwhile = changedMeanwhile.get_future();
    bool waitedInVain = false;
    {
        // The first write stops before its file gets its name until this thread has read and
        // changed settings; were those waiting for the write, it would wait in vain.
        bool first = true;
        const ScopedWriteSteps steps([&](WriteStep step, const fs::path&) {
            if (step == WriteStep::written && std::exchange(first, false)) {
                writing.set_value();
                waitedInVain = meanwhile.wait_for(5s) != std::future_status::ready;
            }
        });
        UserDefaults defaults(file);
        defaults.set("delay", 3);
        ASSERT_EQ(writing.get_future().wait_for(5s), std::future_status::ready);
        defaults.set("fileFormat", "TIFF");
        EXPECT_EQ(defaults.integerValue("delay"), 3);
        EXPECT_EQ(defaults.stringValue("fileFormat"), "TIFF");
        changedMeanwhile.set_value();
        defaults.flush(); // after the write under way
    }
    EXPECT_FALSE(waitedInVain);
    const UserDefaults reopened(file);
    EXPECT_EQ(reopened.integerValue("delay"), 3);
    EXPECT_EQ(reopened.stringValue("fileFormat"), "TIFF");
}

} // namespace
} // namespace qv::platform
