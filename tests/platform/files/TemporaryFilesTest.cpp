// Which temporary files of writeFileAtomically may go: only those whose writer is gone; and
// where they are cleaned up.

#include "platform/files/TemporaryFiles.hpp"

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void age(const fs::path& file, fs::file_time_type::duration by) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - by);
}

fs::path leftover(const fs::path& file, const std::string& written = "half") {
    std::ofstream(file) << written;
    return file;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string temporaryName(const std::string& file, pid_t pid, int n) {
    return file + ".tmp-" + std::to_string(pid) + "-" + std::to_string(n);
}

TEST(TemporaryFiles, ASaveKilledWhileWritingLeavesOnlyATemporaryFileThatGoesOnceItsMinuteIsOver) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "QV_20240101_000000.TIF";
    testing::ChildProcess save([&](testing::ChildProcess&) {
        // Writing past 1 MB ends the process (SIGXFSZ) in the middle of the write.
        const rlimit oneMegabyte{1 << 20, 1 << 20};
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &oneMegabyte);
        ::setrlimit(RLIMIT_CORE, &noCore);
        writeFileAtomically(file, std::string(4 << 20, 'x'), false);
        return 0;
    });
    const pid_t writer = save.pid();
    EXPECT_EQ(save.finish(), 128 + SIGXFSZ);

    const std::vector<std::string> left = namesIn(folder);
    ASSERT_EQ(left.size(), 1u); // never the final name
    EXPECT_TRUE(
        left[0].starts_with(file.filename().string() + ".tmp-" + std::to_string(writer) + "-"))
        << left[0];
    const fs::path temporary = folder / left[0];
    EXPECT_TRUE(isTemporaryName(left[0]));
    EXPECT_FALSE(isStaleTemporaryFile(temporary)); // within the minute after its last write
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 0);
    age(temporary, 2min);
    EXPECT_TRUE(isStaleTemporaryFile(temporary));
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 1);
    EXPECT_TRUE(namesIn(folder).empty());
}

TEST(TemporaryFiles, AFileIsKeptWhileItsWriterHoldsItOrLivesAndUntilItIsADayOld) {
    const fs::path folder = testing::freshTestFolder();
    // Another process writing: it holds the lock, whatever the file's age.
    testing::ChildProcess writer([&](testing::ChildProcess& self) {
        const fs::path own = folder / temporaryName("a.DNG", ::getpid(), 0);
        const int fd = ::open(own.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
            return 1;
        }
        self.readyAndWait();
        return 0;
    });
    ASSERT_TRUE(writer.waitUntilReady());
    const fs::path locked = folder / temporaryName("a.DNG", writer.pid(), 0);
    age(locked, 48h);
    EXPECT_FALSE(isStaleTemporaryFile(locked));

    // A live pid that holds no lock (perhaps reused by another program): a day.
    const fs::path live = leftover(folder / temporaryName("b.DNG", ::getpid(), 3));
    age(live, 2min);
    EXPECT_FALSE(isStaleTemporaryFile(live));
    age(live, 25h);
    EXPECT_TRUE(isStaleTemporaryFile(live));

    // A gone pid: a minute after its last write.
    const fs::path gone = leftover(folder / temporaryName("c.DNG", testing::goneProcessId(), 0));
    age(gone, 30s);
    EXPECT_FALSE(isStaleTemporaryFile(gone));

    EXPECT_EQ(writer.finish(), 0);
    EXPECT_TRUE(isStaleTemporaryFile(locked)); // its writer is gone and it is old
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 2);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{gone.filename().string()});
}

TEST(TemporaryFiles, OnlyRegularFilesWithATemporaryNameAreEverRemoved) {
    const fs::path folder = testing::freshTestFolder();
    const pid_t gone = testing::goneProcessId();
    const fs::path target = leftover(folder / "kept.DNG");
    std::vector<fs::path> kept = {
        leftover(folder / "QV_20240101_000000.TIF"),
        leftover(folder / "a.tmp-12"),
        leftover(folder / "a.tmp-12-"),
        leftover(folder / "a.tmp-x-1"),
        leftover(folder / ".tmp-12-1"),
        leftover(folder / "a.tmp-12-1.DNG"),
        target,
    };
    ASSERT_EQ(::mkfifo((folder / temporaryName("fifo", gone, 0)).c_str(), 0644), 0);
    kept.push_back(folder / temporaryName("fifo", gone, 0));
    fs::create_directory(folder / temporaryName("folder", gone, 0));
    kept.push_back(folder / temporaryName("folder", gone, 0));
    fs::create_symlink(target, folder / temporaryName("link", gone, 0));
    kept.push_back(folder / temporaryName("link", gone, 0));
    for (const fs::path& file : kept) {
        fs::last_write_time(file, fs::file_time_type::clock::now() - 48h);
    }
    // Not a pid at all: "-1" would name every process to kill(), "0" the caller's group;
    // such a file goes only for its age.
    const fs::path noPid = leftover(folder / "a.tmp--1-0");
    age(noPid, 2min);
    kept.push_back(noPid);

    EXPECT_TRUE(isTemporaryName("QV_20240101_000000.TIF.tmp-4242-17"));
    EXPECT_FALSE(isTemporaryName("a.tmp-12"));
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 0);
    for (const fs::path& file : kept) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(file))) << file;
    }
    age(noPid, 48h);
    EXPECT_EQ(removeStaleTemporaryFiles(folder), 1);
    EXPECT_EQ(removeStaleTemporaryFiles(folder / "missing"), 0);
}

// Settings and permissions are written the same way into the settings folder: opening the
// settings removes what a killed write of either left there, and keeps a live one.
TEST(TemporaryFiles, OpeningTheSettingsRemovesTheirFoldersLeftovers) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path settings =
        leftover(folder / temporaryName("settings.json", testing::goneProcessId(), 3));
    const fs::path answers =
        leftover(folder / temporaryName("permissions.json", testing::goneProcessId(), 0));
    const fs::path live = leftover(folder / temporaryName("settings.json", ::getpid(), 9));
    for (const fs::path& file : {settings, answers, live}) {
        age(file, 2min);
    }
    UserDefaults defaults(folder / "settings.json");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{live.filename().string()});
}

} // namespace
} // namespace qv::platform
