// Settings are written behind the caller: a change holds at once, the file is written on the
// store's own queue (under a VirtualDispatch, when the test pumps), a burst of changes is one
// write, and the last value reaches the file when flushed or when the store goes.

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/SharedJsonFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;

TEST(SettingsWrites, AChangeNeverWaitsForALockAnotherProcessHolds) {
    VirtualDispatch dispatch;
    const fs::path file = testing::freshTestFolder() / "settings.json";
    std::ofstream(file) << "{\"delay\": 2}";
    UserDefaults defaults(file);
    testing::ChildProcess holder([&](testing::ChildProcess& self) {
        const int fd = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
            return 1;
        }
        self.readyAndWait(); // holds the lock until the test lets it go
        return 0;
    });
    ASSERT_TRUE(holder.waitUntilReady());
    ConsoleCapture console;

    defaults.set("delay", 5); // returns at once: the file is the queue's business
    EXPECT_EQ(defaults.integerValue("delay"), 5);
    EXPECT_EQ(contentOf(file), "{\"delay\": 2}");

    EXPECT_EQ(holder.finish(), 0);
    dispatch.runUntilIdle(); // the store's writes queue, now that the lock is free
    EXPECT_EQ(UserDefaults(file).integerValue("delay"), 5);
    EXPECT_EQ(console.text(), ""); // written under the lock
}

TEST(SettingsWrites, ABurstOfChangesIsWrittenOnce) {
    VirtualDispatch dispatch;
    const fs::path file = testing::freshTestFolder() / "settings.json";
    int writes = 0;
    const ScopedWriteSteps counted(
        [&](WriteStep step, const fs::path&) { writes += step == WriteStep::written; });
    UserDefaults defaults(file);
    for (int i = 0; i <= 20; ++i) {
        defaults.set("delay", i);
        defaults.set("key" + std::to_string(i % 3), i);
    }
    defaults.remove("key0");
    dispatch.runUntilIdle();
    EXPECT_EQ(writes, 1);
    const UserDefaults reopened(file);
    EXPECT_EQ(reopened.integerValue("delay"), 20);
    EXPECT_FALSE(reopened.has("key0"));
    EXPECT_EQ(reopened.integerValue("key2"), 20);

    defaults.set("delay", 21); // a change after the write is written by a write of its own
    dispatch.runUntilIdle();
    EXPECT_EQ(writes, 2);
    dispatch.runUntilIdle();
    EXPECT_EQ(writes, 2); // nothing pending, nothing written
}

TEST(SettingsWrites, TheLastValueReachesTheFileWhenFlushedAndWhenTheStoreGoes) {
    VirtualDispatch dispatch; // never pumped: only a flush writes
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    {
        UserDefaults defaults(file);
        defaults.set("delay", 3);
        EXPECT_FALSE(fs::exists(file));
        defaults.flush();
        EXPECT_EQ(UserDefaults(file).integerValue("delay"), 3);
        defaults.set("delay", 4);
    }
    EXPECT_EQ(UserDefaults(file).integerValue("delay"), 4);

    // The app's end flushes every settings file open.
    UserDefaults settings(file);
    UserDefaults other(folder / "other.json");
    settings.set("delay", 5);
    other.set("fileFormat", "TIFF");
    SharedJsonFile::flushAll();
    EXPECT_EQ(UserDefaults(file).integerValue("delay"), 5);
    EXPECT_EQ(UserDefaults(folder / "other.json").stringValue("fileFormat"), "TIFF");
}

} // namespace
} // namespace qv::platform
