// A save killed (SIGKILL) at each step of its copy and row, or at random moments, and another
// process opening the library in the middle of a save: every asset the library holds keeps its
// original name and has its file, and a save cut short before its copy had its name leaves no
// asset, and nothing in the library's folder once its writer is gone. With locks (WAL, record
// locks, the copies' flock) and without (lock folders, and copies told by their writer's pid),
// as on a home whose lock daemon does not answer.

#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "RecordLockFailure.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/detail/LockFolderFiles.hpp"

#include <csignal>
#include <ctime>
#include <map>
#include <random>
#include <unistd.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Where a save is killed.
enum class KillPoint {
    copyStarted, // its copy's temporary file made, nothing written yet
    copyWhole,   // the copy whole under its temporary name, about to get its final name
    copyNamed,   // just after the copy got its final name (its temporary name still there)
};

// The final name of a copy's temporary file ("<file>.tmp-<pid>-<n>").
fs::path finalNameOf(const fs::path& temporary) {
    const std::string& name = temporary.native();
    return name.substr(0, name.rfind(".tmp-"));
}

// Arms a timer that kills this process (SIGKILL) once `after` has passed.
void killAfter(std::chrono::nanoseconds after) {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGKILL;
    timer_t timer{};
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0) {
        ::raise(SIGKILL);
    }
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(after.count() / 1'000'000'000);
    when.it_value.tv_nsec = static_cast<long>(after.count() % 1'000'000'000) + 1;
    ::timer_settime(timer, 0, &when, nullptr);
}

// The temporary files in `folder`, made a minute older, so that the next opening removes those
// whose writer is gone.
void ageTemporaryFiles(const fs::path& folder) {
    for (const fs::path& file : pictureFiles(folder)) {
        if (isTemporaryName(file.filename().native())) {
            fs::last_write_time(file, fs::last_write_time(file) - 2min);
        }
    }
}

// Runs with locks (the parameter true) or on a file system without them, for the test and the
// children it forks.
class PhotoLibrarySavesKilledTest : public PhotoLibraryTest,
                                    public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        PhotoLibraryTest::SetUp();
        if (!GetParam()) {
            noFileLocks.emplace(ENOLCK);
            noRecordLocks.emplace(ENOLCK);
        }
        const ConsoleCapture quiet; // the line on a file system without locks
        library();
    }

    void TearDown() override {
        PhotoLibraryTest::TearDown();
        noRecordLocks.reset();
        noFileLocks.reset();
    }

    // What an opening says first: nothing with locks, the line on a file system without them.
    std::string openingLine() const {
        return GetParam() ? ""
                          : "The photo library's folder " + quotedPath(folder) +
                                " is on a file system without locks (No locks available); its "
                                "index is locked with a folder beside it instead\n";
    }

    // The rows of the index on disk, read through its lock folder where there are no locks.
    long long rows() const {
        return rowsIn(folder, GetParam() ? nullptr : detail::lockFolderFiles());
    }

    // Saves `source` in a forked child killed at `point`; its exit status.
    int saveKilledAt(KillPoint point, const fs::path& source) {
        library_.reset(); // the child opens its own
        testing::ChildProcess saving([&](testing::ChildProcess&) {
            const ConsoleCapture quiet;
            const ScopedWriteSteps steps([&](WriteStep step, const fs::path& temporary) {
                if (step == WriteStep::created && point == KillPoint::copyStarted) {
                    ::raise(SIGKILL);
                }
                if (step == WriteStep::written) {
                    if (point == KillPoint::copyNamed) {
                        ::link(temporary.c_str(), finalNameOf(temporary).c_str());
                    }
                    ::raise(SIGKILL);
                }
            });
            create(source);
            return 1; // not killed
        });
        return saving.finish();
    }

    // What is wrong with the library as the next start finds it; empty when nothing is: every
    // asset is one of `names` and has its file, and every picture file has a row.
    std::string faultAtTheNextStart(const std::set<std::string>& names) {
        reopen();
        const FetchResult all = library().fetchAssets();
        for (std::size_t i = 0; i < all.count(); ++i) {
            if (!names.contains(all.object(i)->originalFilename)) {
                return "an asset without its original name";
            }
            if (!fs::is_regular_file(all.object(i)->file)) {
                return "an asset without its file";
            }
        }
        std::size_t files = 0;
        for (const fs::path& file : pictureFiles(folder)) {
            files += isTemporaryName(file.filename().native()) ? 0 : 1;
        }
        if (files != all.count() || rows() != static_cast<long long>(files)) {
            return std::to_string(rows()) + " rows, " + std::to_string(all.count()) +
                   " assets for " + std::to_string(files) + " files";
        }
        return "";
    }

    std::optional<ScopedLockFailure> noFileLocks; // the children inherit both
    std::optional<ScopedRecordLockFailure> noRecordLocks;
};

std::string lockingOf(const ::testing::TestParamInfo<bool>& withLocks) {
    return withLocks.param ? "WithLocks" : "WithoutLocks";
}

INSTANTIATE_TEST_SUITE_P(Locks, PhotoLibrarySavesKilledTest, ::testing::Bool(), lockingOf);

// Before, the copy got its name before its row was added: killed in between, the next start
// took the copy in under its UUID, its original name lost.
TEST_P(PhotoLibrarySavesKilledTest, ASaveKilledOnceItsCopyHadItsNameKeepsTheOriginalName) {
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    ASSERT_EQ(saveKilledAt(KillPoint::copyNamed, a), 128 + SIGKILL);
    ConsoleCapture console;
    reopen();
    EXPECT_EQ(console.text(), openingLine());
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u);
    EXPECT_EQ(all.firstObject()->originalFilename, "a.JPG");
    EXPECT_EQ(readBytes(all.firstObject()->file), readBytes(a));
    ageTemporaryFiles(folder);
    reopen();
    EXPECT_EQ(pictureFiles(folder), std::vector<fs::path>{all.firstObject()->file});
    EXPECT_EQ(rows(), 1);
}

// Killed before its copy had its name (also once its row was in): no asset, the picture not
// added (it stays where it was saved from), and nothing left once a minute has passed.
TEST_P(PhotoLibrarySavesKilledTest, ASaveKilledBeforeItsCopyHadItsNameLeavesNoAsset) {
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    for (const KillPoint point : {KillPoint::copyStarted, KillPoint::copyWhole}) {
        SCOPED_TRACE(point == KillPoint::copyStarted ? "copy started" : "copy whole");
        ASSERT_EQ(saveKilledAt(point, a), 128 + SIGKILL);
        ConsoleCapture console;
        reopen();
        EXPECT_EQ(console.text(),
                  openingLine() + (point == KillPoint::copyWhole
                                       ? "The photo library dropped 1 asset whose file is gone\n"
                                       : ""));
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(rows(), 0);
        ageTemporaryFiles(folder);
        reopen();
        EXPECT_EQ(pictureFiles(folder), std::vector<fs::path>{});
    }
    ASSERT_TRUE(create(a).success); // and the picture can be saved again
    EXPECT_EQ(library().fetchAssets().firstObject()->originalFilename, "a.JPG");
}

// A child that saves pictures killed at a random moment of its saves, 24 times: after each kill
// the next start finds every asset with its original name and its file, and a row for every
// picture file, and a minute later no temporary file is left. Before, a kill between a copy and
// its row lost the name: 0 to 7 kills of 24 with locks, 7 to 15 without.
TEST_P(PhotoLibrarySavesKilledTest, SavesKilledAtRandomMomentsLeaveOnlyWholeAssetsWithTheirNames) {
    constexpr int kills = 24;
    busyWait = 500ms;
    const std::vector<fs::path> sources = writeSources(4);
    std::set<std::string> names;
    for (const fs::path& source : sources) {
        names.insert(source.filename().string());
    }
    std::mt19937 random(20240101);
    std::uniform_real_distribution<double> moment(0.0, 1.0);
    std::map<std::string, int> faults; // kills, by what was wrong after them
    for (int kill = 0; kill < kills; ++kill) {
        library_.reset();
        folder = root / ("Kill" + std::to_string(kill)) / "Photos";
        const double at = moment(random);
        testing::ChildProcess saving([&](testing::ChildProcess&) {
            const ConsoleCapture quiet;
            library();
            // Two saves first, the second to learn how long one takes; the kill comes at a
            // random moment of the next two.
            create(sources[0]);
            const auto start = std::chrono::steady_clock::now();
            create(sources[1]);
            killAfter(std::chrono::duration_cast<std::chrono::nanoseconds>(
                (std::chrono::steady_clock::now() - start) * 2 * at));
            create(sources[2]);
            create(sources[3]);
            ::raise(SIGKILL); // the timer came too late: killed at the end
            return 1;
        });
        ASSERT_EQ(saving.finish(), 128 + SIGKILL);
        const ConsoleCapture quiet;
        const std::string afterTheKill = faultAtTheNextStart(names);
        if (!setAsideFiles(folder).empty()) {
            ++faults["the index set aside as damaged"];
        }
        if (!afterTheKill.empty()) {
            ++faults[afterTheKill];
        }
        ageTemporaryFiles(folder);
        if (const std::string aMinuteLater = faultAtTheNextStart(names); !aMinuteLater.empty()) {
            ++faults["a minute later, " + aMinuteLater];
        }
        for (const fs::path& file : pictureFiles(folder)) {
            if (isTemporaryName(file.filename().native())) {
                ++faults["a minute later, a temporary file left"];
            }
        }
    }
    std::string failed;
    for (const auto& [fault, count] : faults) {
        failed.append("\n").append(std::to_string(count)).append(" kills: ").append(fault);
    }
    EXPECT_EQ(failed, "") << "of " << kills << " kills";
}

// Another process opening the library while a save has its row in and its copy not yet named
// keeps the row (and takes nothing in); once the saver is gone without naming its copy, the next
// opening drops it.
TEST_P(PhotoLibrarySavesKilledTest, AnotherProcessOpeningDuringASaveKeepsItsRowWhileItsSaverLives) {
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    for (const bool saverKilled : {false, true}) {
        SCOPED_TRACE(saverKilled ? "saver killed" : "saver goes on");
        library_.reset();
        testing::ChildProcess saving([&](testing::ChildProcess& self) {
            const ConsoleCapture quiet;
            const ScopedWriteSteps steps([&](WriteStep step, const fs::path&) {
                if (step == WriteStep::written) {
                    self.readyAndWait();
                }
            });
            return create(saverKilled ? b : a).success ? 0 : 1;
        });
        ASSERT_TRUE(saving.waitUntilReady());
        {
            ConsoleCapture console;
            reopen();
            EXPECT_EQ(console.text(), openingLine());
            EXPECT_EQ(rows(), saverKilled ? 2 : 1);
            ASSERT_EQ(library().fetchAssets().count(), saverKilled ? 2u : 1u);
            EXPECT_EQ(library().fetchAssets().firstObject()->originalFilename,
                      saverKilled ? "b.JPG" : "a.JPG");
        }
        if (saverKilled) {
            ::kill(saving.pid(), SIGKILL);
            EXPECT_EQ(saving.finish(), 128 + SIGKILL);
        } else {
            EXPECT_EQ(saving.finish(), 0);
        }
        ConsoleCapture console;
        reopen();
        EXPECT_EQ(console.text(),
                  openingLine() + (saverKilled
                                       ? "The photo library dropped 1 asset whose file is gone\n"
                                       : ""));
        const FetchResult all = library().fetchAssets();
        ASSERT_EQ(all.count(), 1u);
        EXPECT_EQ(all.firstObject()->originalFilename, "a.JPG");
        EXPECT_EQ(readBytes(all.firstObject()->file), readBytes(a));
        EXPECT_EQ(rows(), 1);
    }
}

// A process with locks sees no lock on the copy of a process without them (two machines on one
// network home whose lock daemons differ) and takes its writer for gone: it drops the row. The
// saver finds its row missing once its copy has its name, and adds it again.
TEST_F(PhotoLibraryTest, ARowDroppedByAProcessThatSeesNoLockOnItsCopyGoesInAgain) {
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    library();
    library_.reset();
    testing::ChildProcess saving([&](testing::ChildProcess& self) {
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        const ConsoleCapture quiet;
        const ScopedWriteSteps steps([&](WriteStep step, const fs::path&) {
            if (step == WriteStep::written) {
                self.readyAndWait();
            }
        });
        return create(a).success ? 0 : 1;
    });
    ASSERT_TRUE(saving.waitUntilReady());
    {
        ConsoleCapture console;
        reopen(); // locks with the lock folder too, as a user of lock folders is live
        EXPECT_EQ(console.text(),
                  "The photo library's index " + quotedPath(folder / "library.sqlite") +
                      " is locked with a folder beside it instead of record locks while process " +
                      std::to_string(saving.pid()) +
                      " on this machine locks it with a folder\n"
                      "The photo library dropped 1 asset whose file is gone\n");
    }
    library_.reset();
    EXPECT_EQ(saving.finish(), 0);
    reopen();
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u);
    EXPECT_EQ(all.firstObject()->originalFilename, "a.JPG");
    library_.reset();
    EXPECT_EQ(rowsIn(folder), 1);
}

// A copy that cannot get its name (its month folder made read-only during the write) fails the
// save and takes its row away again: no asset is left without its file.
TEST_F(PhotoLibraryTest, ASaveWhoseCopyCannotGetItsNameTakesItsRowAway) {
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    const fs::path month = folder / "2024" / "01";
    std::optional<ScopedMode> readOnly;
    const ScopedWriteSteps steps([&](WriteStep step, const fs::path&) {
        if (step == WriteStep::written) {
            readOnly.emplace(month, withoutWrite(month));
        }
    });
    testing::ScopedPermissionBits asTheOwner;
    const CreateResult saved = create(a);
    EXPECT_EQ(saved.error,
              "Cannot copy " + quotedPath(a) + " into the photo library: Permission denied");
    EXPECT_EQ(library().fetchAssets().count(), 0u);
    EXPECT_EQ(rowsIn(folder), 0);
}

} // namespace
} // namespace qv::platform::test
