// On a file system without locks (flock answers ENOLCK, ENOSYS or EOPNOTSUPP) nothing is lost:
// a write goes on without its temporary file's lock, a cleaner removes only what a gone
// writer's pid or its age proves abandoned, and the settings are merged and saved without
// their lock, saying so once.

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

TEST(NoLocks, TheSettingsAreMergedAndSavedWithoutTheirLockSayingSoOnce) {
    const fs::path file = testing::freshRunFolder() / "settings.json"; // said once a path
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
    EXPECT_EQ(console.text(), "The settings were saved to '" + file.string() +
                                  "' without their lock: the lock file cannot be locked (No "
                                  "locks available)\n");
    EXPECT_EQ(namesIn(file.parent_path()),
              (std::vector<std::string>{"settings.json", "settings.json.lock"}));
}

} // namespace
} // namespace qv::platform
