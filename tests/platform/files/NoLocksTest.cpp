// On a file system without locks (flock answers ENOLCK, ENOSYS or EOPNOTSUPP) nothing is lost:
// a write goes on without its temporary file's lock, a cleaner removes only what a gone
// writer's pid or its age proves abandoned, and the settings are merged and saved without
// their lock folder, which is broken once its owner has ended.

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/store/UserDefaults.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;
using testing::namesIn;
using namespace std::chrono_literals;

// The answers a file system without locks gives.
constexpr int lockErrors[] = {ENOLCK, ENOSYS, EOPNOTSUPP};

fs::path oldLeftover(const fs::path& folder, pid_t writer, fs::file_time_type::duration age) {
    static int written = 0;
    const fs::path file =
        folder / ("QV_1.TIF.tmp-" + std::to_string(writer) + "-" + std::to_string(++written));
    std::ofstream(file) << "half";
    fs::last_write_time(file, fs::file_time_type::clock::now() - age);
    return file;
}

// The names of `files`, sorted as namesIn() gives them.
std::vector<std::string> sortedNames(std::vector<fs::path> files) {
    std::vector<std::string> names;
    for (const fs::path& file : files) {
        names.push_back(file.filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(NoLocks, AWriteGoesOnWithoutItsTemporaryFilesLockAndACleanerKeepsIt) {
    for (const int error : lockErrors) {
        SCOPED_TRACE(std::strerror(error));
        const fs::path folder = testing::freshTestFolder();
        const fs::path file = folder / "settings.json";
        const ScopedLockFailure noLocks(error);
        bool keptWhileWriting = false;
        {
            // A cleaner probing the copy in progress, even one that looks old: its writer,
            // this process, lives.
            const ScopedWriteSteps steps([&](WriteStep step, const fs::path& temporary) {
                if (step == WriteStep::written) {
                    fs::last_write_time(temporary, fs::file_time_type::clock::now() - 2h);
                    keptWhileWriting =
                        removeStaleTemporaryFiles(folder) == 0 && fs::exists(temporary);
                }
            });
            EXPECT_FALSE(writeFileAtomically(file, "new"));
        }
        EXPECT_TRUE(keptWhileWriting);
        EXPECT_FALSE(writeFileAtomically(folder / "QV_1.TIF", "picture", false));
        EXPECT_EQ(writeFileAtomically(folder / "QV_1.TIF", "other", false), std::errc::file_exists);
        EXPECT_EQ(contentOf(file), "new");
        EXPECT_EQ(contentOf(folder / "QV_1.TIF"), "picture");
        EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"QV_1.TIF", "settings.json"}));
    }
}

TEST(NoLocks, ACleanerRemovesOnlyWhatAGoneWritersPidOrItsAgeProvesAbandoned) {
    const fs::path folder = testing::freshTestFolder();
    const pid_t gone = testing::goneProcessId();
    const ScopedLockFailure noLocks(ENOLCK);
    const fs::path goneOld = oldLeftover(folder, gone, 2min);
    const fs::path goneYoung = oldLeftover(folder, gone, 30s);
    const fs::path liveOld = oldLeftover(folder, ::getpid(), 2h);
    const fs::path liveDayOld = oldLeftover(folder, ::getpid(), 25h);
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 2);
    EXPECT_EQ(namesIn(folder), sortedNames({goneYoung, liveOld}));
    // Where other machines write, a pid tells nothing: only a day does.
    fs::remove(liveOld);
    const fs::path goneElsewhere = oldLeftover(folder, gone, 2min);
    EXPECT_EQ(removeStaleTemporaryFiles(folder, FolderSharing::otherMachines), 0);
    oldLeftover(folder, gone, 25h);
    EXPECT_EQ(removeStaleTemporaryFiles(folder, FolderSharing::otherMachines), 1);
    EXPECT_EQ(namesIn(folder), sortedNames({goneYoung, goneElsewhere}));
}

TEST(NoLocks, TheSettingsAreMergedAndSavedUnderTheirLockFolder) {
    const fs::path file = testing::freshRunFolder() / "settings.json";
    std::ofstream(file) << "{\"delay\": 2}";
    ConsoleCapture console;
    {
        const ScopedLockFailure noLocks(ENOLCK);
        UserDefaults defaults(file);
        // Another process's key written since this one read the file is kept.
        std::ofstream(file) << "{\"delay\": 2, \"grid\": true}";
        defaults.set("totalTime", 30);
        defaults.flush();
        defaults.set("delay", 5);
        defaults.flush();
    }
    const UserDefaults read(file);
    EXPECT_EQ(read.integerValue("totalTime"), 30);
    EXPECT_EQ(read.integerValue("delay"), 5);
    EXPECT_EQ(read.boolValue("grid"), true);
    EXPECT_EQ(console.text(), "");
    // The lock folder is given back after each write.
    EXPECT_EQ(namesIn(file.parent_path()),
              (std::vector<std::string>{"settings.json", "settings.json.lock"}));
}

// Two processes each changing a setting of its own at the same moment: both changes stay (before,
// one of the two was lost in about half the trials without locks).
TEST(NoLocks, TwoProcessesChangingDifferentSettingsAtOnceKeepBoth) {
    constexpr int trials = 16;
    const fs::path folder = testing::freshTestFolder();
    const ScopedLockFailure noLocks(ENOLCK); // the children inherit it
    int lost = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const fs::path file = folder / ("settings-" + std::to_string(trial) + ".json");
        std::vector<std::unique_ptr<testing::ChildProcess>> processes;
        for (const char* key : {"delay", "totalTime"}) {
            processes.push_back(std::make_unique<testing::ChildProcess>([&, key](auto& self) {
                const ConsoleCapture quiet;
                UserDefaults defaults(file);
                self.readyAndWait();
                defaults.set(key, trial + 1);
                defaults.flush();
                return 0;
            }));
        }
        EXPECT_EQ(testing::runTogether(processes), std::vector<int>(2, 0));
        const UserDefaults read(file);
        lost += (read.integerValue("delay") == trial + 1 ? 0 : 1) +
                (read.integerValue("totalTime") == trial + 1 ? 0 : 1);
    }
    EXPECT_EQ(lost, 0) << "of " << 2 * trials << " changes";
}

} // namespace
} // namespace qv::platform
