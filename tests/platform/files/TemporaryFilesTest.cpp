// Which temporary files of writeFileAtomically may go: only those whose writer is gone; a
// writer and a cleaner in two processes never lose a write; and where files are cleaned up.

#include "platform/files/TemporaryFiles.hpp"

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;
using namespace std::chrono_literals;

void age(const fs::path& file, fs::file_time_type::duration by) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - by);
}

fs::path leftover(const fs::path& file, const std::string& written = "half") {
    std::ofstream(file) << written;
    return file;
}

std::string temporaryName(const std::string& file, pid_t pid, int n) {
    return file + ".tmp-" + std::to_string(pid) + "-" + std::to_string(n);
}

// Another process that acts on files when asked, one command at a time, and answers with a
// number: "hold <file>" takes a shared lock on it and answers, keeps it for 30 ms and lets
// go (a cleaner's probe landing first); "lock <file>" answers 1 when it could take the
// file's exclusive lock at once (and lets go), else 0; "clean <folder>" removes the stale
// temporary files there and answers how many; "loop <folder>" cleans the folder over and
// over until the next command comes.
class FileProber {
public:
    FileProber() {
        EXPECT_EQ(::pipe2(commands_, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(answers_, O_CLOEXEC), 0);
        child_.emplace([this](testing::ChildProcess&) { return serve(); });
    }
    ~FileProber() {
        for (int fd : {commands_[0], commands_[1], answers_[0], answers_[1]}) {
            ::close(fd);
        }
    }

    long ask(const std::string& command, const fs::path& path) {
        const std::string line = command + " " + path.string() + "\n";
        EXPECT_EQ(::write(commands_[1], line.data(), line.size()), ssize_t(line.size()));
        return std::stol(readLine(answers_[0]).value_or("-1"));
    }
    // Starts cleaning `folder` without end; the next ask() stops it.
    void startCleaning(const fs::path& folder) {
        const std::string line = "loop " + folder.string() + "\n";
        EXPECT_EQ(::write(commands_[1], line.data(), line.size()), ssize_t(line.size()));
    }

private:
    static std::optional<std::string> readLine(int fd) {
        std::string line;
        char c = 0;
        while (::read(fd, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return std::nullopt;
    }

    void answer(long value) {
        const std::string line = std::to_string(value) + "\n";
        (void)!::write(answers_[1], line.data(), line.size());
    }

    int serve() {
        while (const std::optional<std::string> line = readLine(commands_[0])) {
            const std::size_t space = line->find(' ');
            const std::string command = line->substr(0, space);
            const fs::path path = line->substr(space + 1);
            if (command == "loop") {
                pollfd next{commands_[0], POLLIN, 0};
                while (::poll(&next, 1, 0) == 0) {
                    removeStaleTemporaryFiles(path);
                }
                continue;
            }
            if (command == "clean") {
                answer(removeStaleTemporaryFiles(path));
                continue;
            }
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (command == "hold") {
                answer(fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0 ? 1 : 0);
                std::this_thread::sleep_for(30ms);
            } else {
                answer(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0);
            }
            ::close(fd);
        }
        return 0;
    }

    int commands_[2] = {-1, -1};
    int answers_[2] = {-1, -1};
    std::optional<testing::ChildProcess> child_;
};

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

    const std::vector<std::string> left = testing::namesIn(folder);
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
    EXPECT_TRUE(testing::namesIn(folder).empty());
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
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{gone.filename().string()});
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

TEST(TemporaryFiles, AWriterHoldsItsLockFromBeforeItsFirstByteUntilItsFinalName) {
    const fs::path folder = testing::freshTestFolder();
    FileProber cleaner;
    std::vector<long> heldFirst, lockableWhileWritten, removedWhileWritten;
    const ScopedWriteSteps steps([&](WriteStep step, const fs::path& temporary) {
        if (step == WriteStep::created) {
            // A cleaner's probe lands between the file's creation and the writer's lock.
            heldFirst.push_back(cleaner.ask("hold", temporary));
            return;
        }
        // The fsync took longer than any grace: the copy looks a day old.
        age(temporary, 48h);
        lockableWhileWritten.push_back(cleaner.ask("lock", temporary));
        removedWhileWritten.push_back(cleaner.ask("clean", folder));
    });
    for (const bool overwrite : {true, false}) {
        const fs::path file = folder / (overwrite ? "settings.json" : "QV_1.TIF");
        EXPECT_FALSE(writeFileAtomically(file, "whole", overwrite));
        EXPECT_EQ(contentOf(file), "whole");
    }
    EXPECT_EQ(heldFirst, (std::vector<long>{1, 1}));
    EXPECT_EQ(lockableWhileWritten, (std::vector<long>{0, 0}));
    EXPECT_EQ(removedWhileWritten, (std::vector<long>{0, 0}));
    EXPECT_EQ(testing::namesIn(folder), (std::vector<std::string>{"QV_1.TIF", "settings.json"}));
}

TEST(TemporaryFiles, WritesRacingACleanerInAnotherProcessAreNeverLost) {
    const fs::path folder = testing::freshTestFolder();
    FileProber cleaner;
    // Every copy looks a day old once written, so a cleaner that could lock it would take it.
    const ScopedWriteSteps steps([](WriteStep step, const fs::path& temporary) {
        if (step == WriteStep::written) {
            age(temporary, 48h);
        }
    });
    cleaner.startCleaning(folder);
    int failed = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string text = "picture " + std::to_string(i);
        failed +=
            bool(writeFileAtomically(folder / ("QV_" + std::to_string(i) + ".TIF"), text, false));
        failed += bool(writeFileAtomically(folder / "settings.json", text));
    }
    EXPECT_EQ(cleaner.ask("clean", folder), 0);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(testing::namesIn(folder).size(), 61u);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(contentOf(folder / ("QV_" + std::to_string(i) + ".TIF")),
                  "picture " + std::to_string(i));
    }
    EXPECT_EQ(contentOf(folder / "settings.json"), "picture 59");
}

TEST(TemporaryFiles, AWriteWhoseLockIsHeldElsewhereFailsAndLeavesNothing) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    ASSERT_FALSE(writeFileAtomically(file, "old"));
    int holder = -1;
    {
        // Another open file takes the lock first and keeps it past the writer's patience.
        const ScopedWriteSteps steps([&](WriteStep step, const fs::path& temporary) {
            if (step == WriteStep::created) {
                holder = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
                EXPECT_EQ(::flock(holder, LOCK_EX), 0);
            }
        });
        EXPECT_EQ(writeFileAtomically(file, "new"), std::errc::resource_unavailable_try_again);
    }
    ::close(holder);
    EXPECT_EQ(contentOf(file), "old");
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{"settings.json"});
}

TEST(TemporaryFiles, ANameALeftoverOfThisPidTakesIsPassedOver) {
    // A container's app gets the same pid at every start: a write killed in an earlier start
    // left the very names this process is about to give its writes.
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    const std::string probe = nextTemporaryName(file).string();
    const int next = std::stoi(probe.substr(probe.rfind('-') + 1)) + 1;
    for (int n = next; n < next + 5; ++n) {
        age(leftover(folder / temporaryName("settings.json", ::getpid(), n)), 2h);
    }
    EXPECT_FALSE(writeFileAtomically(file, "whole"));
    EXPECT_EQ(contentOf(file), "whole");
    EXPECT_EQ(testing::namesIn(folder).size(), 6u); // the leftovers wait for their day
}

TEST(TemporaryFiles, InAFolderOtherMachinesShareOnlyAgeRemovesAFile) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path gone = leftover(folder / temporaryName("a.DNG", testing::goneProcessId(), 0));
    age(gone, 2h);
    EXPECT_FALSE(isStaleTemporaryFile(gone, FolderSharing::otherMachines));
    EXPECT_TRUE(isStaleTemporaryFile(gone, FolderSharing::thisMachine));
    EXPECT_EQ(removeStaleTemporaryFiles(folder, FolderSharing::otherMachines), 0);
    age(gone, 25h);
    EXPECT_EQ(removeStaleTemporaryFiles(folder, FolderSharing::otherMachines), 1);
    EXPECT_TRUE(testing::namesIn(folder).empty());
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
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{live.filename().string()});
}

} // namespace
} // namespace qv::platform
