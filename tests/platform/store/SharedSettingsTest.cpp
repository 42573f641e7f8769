// Processes on one home: each one's settings reach the file without undoing the other's, also
// when they open one damaged file at once; a stuck holder of the settings lock delays a write
// without hanging it, and a home that cannot be written says so once per cause.

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/store/UserDefaults.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qv::platform;
namespace fs = std::filesystem;

namespace {

// Runs `work` in a child process; its exit status.
template <typename Work>
int inChild(Work work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t lines(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(SharedSettings, TwoProcessesOpenAtOnceKeepEachOthersChanges) {
    const fs::path root = qv::testing::freshTestFolder();
    const fs::path file = root / "settings.json";
    UserDefaults(file).set("delay", 2);
    UserDefaults first(file); // both read the file before either writes
    const int child = inChild([&] {
        UserDefaults second(file);
        second.set("fileFormat", "TIFF");
        second.set("delay", 10);
        second.remove("evOffset");
        return 0;
    });
    ASSERT_EQ(child, 0);
    first.set("totalTime", 30);
    first.set("evOffset", -0.7);
    first.flush();

    const UserDefaults after(file);
    EXPECT_EQ(after.stringValue("fileFormat"), "TIFF"); // the other process's change stays
    EXPECT_EQ(after.integerValue("delay"), 10);         // its last write of a key counts
    EXPECT_EQ(after.integerValue("totalTime"), 30);
    EXPECT_EQ(after.doubleValue("evOffset"), -0.7);
    // This process's own view is the file at opening and its own changes.
    EXPECT_EQ(first.integerValue("delay"), 2);
    EXPECT_FALSE(first.has("fileFormat"));
}

TEST(SharedSettings, WritesOfTwoProcessesAtTheSameTimeAllReachTheFile) {
    const fs::path root = qv::testing::freshTestFolder();
    const fs::path file = root / "settings.json";
    const auto writeKeys = [&file](const std::string& prefix) {
        UserDefaults defaults(file);
        for (int i = 0; i < 40; ++i) {
            defaults.set(prefix + std::to_string(i), i);
        }
    };
    const pid_t child = ::fork();
    if (child == 0) {
        writeKeys("child");
        ::_exit(0);
    }
    writeKeys("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const UserDefaults after(file);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(after.integerValue("child" + std::to_string(i)), i);
        EXPECT_EQ(after.integerValue("parent" + std::to_string(i)), i);
    }
}

TEST(SharedSettings, ALockHeldByAStuckProcessIsWaitedForABoundedTime) {
    const fs::path root = qv::testing::freshTestFolder();
    const fs::path lockFile = root / "settings.json.lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0644);
        ::flock(fd, LOCK_EX);
        ::write(ready[1], "x", 1);
        ::pause(); // stuck until killed
        ::_exit(0);
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    {
        const FileLock lock(lockFile, std::chrono::milliseconds(50));
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(lock.problem(), "another process has held its lock for over 50 ms");
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    const FileLock lock(lockFile, std::chrono::milliseconds(50));
    EXPECT_TRUE(lock.held()) << "the lock goes with its process";
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(SharedSettings, AnUnwritableHomeSaysOncePerCauseUntilItChanges) {
    const fs::path root = qv::testing::freshRunFolder();
    const fs::path blocker = root / "home";
    std::ofstream(blocker) << "a file where the home should be";
    const fs::path file = blocker / "settings.json";
    UserDefaults defaults(file);
    {
        ConsoleCapture console;
        for (int i = 0; i < 5; ++i) {
            defaults.set("delay", i);
            defaults.flush();
        }
        EXPECT_EQ(console.text(), "Could not create the folder '" + blocker.string() +
                                      "': Not a directory\nCould not save the settings to '" +
                                      file.string() + "': Not a directory\n");
    }
    // Once the home can be written the next write saves, and a new failure speaks again.
    fs::remove(blocker);
    {
        ConsoleCapture console;
        defaults.set("delay", 7);
        defaults.flush();
        EXPECT_EQ(console.text(), "");
        EXPECT_EQ(UserDefaults(file).integerValue("delay"), 7);
    }
    fs::remove_all(blocker);
    std::ofstream(blocker) << "in the way again";
    ConsoleCapture console;
    defaults.set("delay", 8);
    defaults.flush();
    defaults.set("delay", 9);
    defaults.flush();
    EXPECT_EQ(lines(console.text()), 2u) << console.text();
}

TEST(SharedSettings, AHomeThatCannotBeMadeSaysWhyInEachLine) {
    VirtualDispatch dispatch; // writes only when flushed, on this thread, which drops its rights
    const fs::path locked = qv::testing::freshRunFolder() / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms(0555));
    const fs::path home = locked / "home";
    const fs::path file = home / "settings.json";
    {
        const qv::testing::ScopedPermissionBits ordinaryUser;
        ConsoleCapture console;
        UserDefaults defaults(file);
        defaults.set("delay", 5);
        defaults.flush();
        EXPECT_EQ(console.text(), "Could not create the folder '" + home.string() +
                                      "': Permission denied\nCould not save the settings to '" +
                                      file.string() + "': Permission denied\n");
    }
    fs::permissions(locked, fs::perms(0755));
}

TEST(SharedSettings, ProcessesOpeningOneDamagedFileSetItAsideOnceAndKeepEveryWrite) {
    // Several processes open the same damaged file at once, each change a setting of its own
    // and save it: the damaged file is set aside once (never a healthy file another process
    // has just written in its place), and every process's setting is in the file. The file is
    // large, so that judging it takes each process a moment in which others can set it aside
    // and write theirs.
    constexpr int processes = 6;
    constexpr int trials = 10;
    std::string damaged = "{";
    for (int i = 0; i < 5000; ++i) {
        damaged += "\"key" + std::to_string(i) + "\": \"a value of some length\", ";
    }
    const fs::path root = qv::testing::freshTestFolder();
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const fs::path folder = root / std::to_string(trial);
        fs::create_directories(folder);
        const fs::path file = folder / "settings.json";
        std::ofstream(file) << damaged;
        // Every child waits for the end of this pipe, which comes when the test closes it.
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < processes; ++p) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(start[1]);
                char none = 0;
                (void)!::read(start[0], &none, 1);
                // Up to 2 ms apart, in another order at each trial, so that each process's
                // opening meets the others at every step of theirs.
                std::this_thread::sleep_for(
                    std::chrono::microseconds((p * 7 + trial * 3) % 20 * 100));
                ConsoleCapture quiet;
                UserDefaults defaults(file);
                defaults.set("process" + std::to_string(p), p);
                defaults.flush();
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::vector<std::string> asides;
        for (const std::string& name : qv::testing::namesIn(folder)) {
            if (name.starts_with("settings.json.corrupt_")) {
                asides.push_back(qv::testing::contentOf(folder / name));
            }
        }
        EXPECT_EQ(asides.size(), 1u);
        for (const std::string& aside : asides) {
            EXPECT_TRUE(aside == damaged) << "a healthy file was set aside: " << aside;
        }
        const UserDefaults after(file);
        for (int p = 0; p < processes; ++p) {
            EXPECT_EQ(after.integerValue("process" + std::to_string(p)), p) << p;
        }
    }
}
