// The index's users folder ("library.sqlite.users") and the lock probe as others and an unlucky
// user leave them: a link or a file at the folder's name, records of other machines, of
// sandboxes and stray files, records of processes that ended, processes opening and closing at
// once, and a process killed while it probes the folder's locks.

#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "RecordLockFailure.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/LockOwner.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/detail/IndexUsers.hpp"
#include "platform/photos/detail/RecordLocks.hpp"

#include <csignal>
#include <fstream>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PhotoLibraryUsersTest : public PhotoLibraryTest {
protected:
    void SetUp() override {
        PhotoLibraryTest::SetUp();
        index = quotedPath(folder / "library.sqlite");
        users = folder / "library.sqlite.users";
    }

    // Opens the library (again); what it printed.
    std::string reopened() {
        library_.reset();
        ConsoleCapture console;
        library();
        return console.text();
    }

    fs::path picture(const std::string& name) {
        return writeSource(name, makeJpeg(40, 30, "2024:01:01 10:00:00"));
    }

    // A record among the index's users, as another process wrote it.
    fs::path record(const std::string& name, const std::string& text) {
        fs::create_directories(users);
        std::ofstream(users / name) << text;
        return users / name;
    }

    std::string index;
    fs::path users;
};

// Another machine's owner, as its record names it.
LockOwner ofAnotherMachine() {
    LockOwner owner = LockOwner::thisProcess();
    owner.host = "studio";
    owner.machine = "0123456789abcdef0123456789abcdef";
    owner.boot = "00000000-0000-0000-0000-000000000000";
    owner.pid = 4711;
    return owner;
}

// A link or a file at the users folder's name is never followed nor used. With locks the index
// is used without a record, with one line a session; without locks no record can tell processes
// with locks about this one, so it refuses, saying what to change, and saves once it is changed.
TEST_F(PhotoLibraryUsersTest, ALinkOrAFileAtTheUsersFolderIsNeverFollowedAndSaidOnce) {
    busyWait = 50ms;
    const fs::path outside = root / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "x.wal-left").put('\n');
    std::ofstream(outside / "y.folder") << ofAnotherMachine().text();
    int saved = 0;
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "a link" : "a file");
        library_.reset();
        fs::create_directories(folder);
        if (link) {
            fs::create_directory_symlink(outside, users);
        } else {
            std::ofstream(users).put('\n');
        }
        const std::string what = link ? "a symbolic link" : "a file";
        EXPECT_EQ(reopened(), "The photo library's users folder " + quotedPath(users) + " is " +
                                  what +
                                  ", not a folder, so the library uses its index without "
                                  "recording itself there, and processes without locks cannot "
                                  "use the index meanwhile; remove or rename it\n");
        ConsoleCapture console;
        EXPECT_TRUE(create(picture("a" + std::to_string(saved) + ".JPG")).success);
        EXPECT_TRUE(create(picture("b" + std::to_string(saved) + ".JPG")).success);
        saved += 2;
        EXPECT_EQ(console.text(), "");
        EXPECT_EQ(journalMode(folder), "wal\n");
        library_.reset();

        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        const std::string refusal = "The photo library cannot use its index " + index + ": " +
                                    quotedPath(users) + " is " + what +
                                    ", not a folder, so this process cannot record itself among "
                                    "the index's users, as it must without locks; remove or "
                                    "rename it";
        const std::string text = reopened();
        EXPECT_TRUE(text.ends_with(refusal + "\n")) << text;
        const CreateResult refused = create(picture("c.JPG"));
        EXPECT_FALSE(refused.success);
        EXPECT_EQ(refused.error.value_or(""), refusal);
        EXPECT_EQ(testing::namesIn(outside), (std::vector<std::string>{"x.wal-left", "y.folder"}));
        EXPECT_EQ(link ? fs::is_symlink(fs::symlink_status(users)) : fs::is_regular_file(users),
                  true);
        fs::remove(users);
        EXPECT_TRUE(create(picture("d" + std::to_string(saved) + ".JPG")).success);
        saved += 1;
        library_.reset();
        EXPECT_FALSE(fs::exists(users)); // its record made it, and went at its end
    }
    EXPECT_EQ(rowsIn(folder), saved);
}

// A file at the users folder's name while a process with locks has the index open (it could
// not record itself either): one without locks says what to remove, then, once it is removed,
// that a WAL file may be in use (never "unable to open database file"), and saves once that
// process has closed the index.
TEST_F(PhotoLibraryUsersTest, AFileAtTheUsersFolderBesideAnOpenWalUserGivesTrueLinesUntilItCloses) {
    busyWait = 50ms;
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    std::ofstream(users).put('\n');
    testing::ChildProcess walUser([&](testing::ChildProcess& self) {
        const ConsoleCapture quiet;
        reopen();
        library().fetchAssets();
        self.readyAndWait(); // its index open, with locks and without a record
        library_.reset();
        return 0;
    });
    ASSERT_TRUE(walUser.waitUntilReady());
    const ScopedLockFailure noFileLocks(ENOLCK);
    const ScopedRecordLockFailure noRecordLocks(ENOLCK);
    const ConsoleCapture quiet;
    const CreateResult refused = create(picture("b.JPG"));
    EXPECT_EQ(refused.error.value_or(""),
              "The photo library cannot use its index " + index + ": " + quotedPath(users) +
                  " is a file, not a folder, so this process cannot record itself among the "
                  "index's users, as it must without locks; remove or rename it");
    fs::remove(users);
    const CreateResult refusedToo = create(picture("b.JPG"));
    EXPECT_EQ(refusedToo.error.value_or(""),
              "The photo library is not available now: its index " + index +
                  " cannot be used (its WAL file " + quotedPath(folder / "library.sqlite-wal") +
                  " may be in use by a program that locks it with record locks, which this "
                  "process cannot see (opening the library once where locks work brings it in))");
    EXPECT_EQ(walUser.finish(), 0);
    EXPECT_TRUE(create(picture("b.JPG")).success);
    EXPECT_EQ(library().fetchAssets().count(), 2u);
}

// Without locks, a users folder this process cannot write in (its mode, a full disk) keeps it
// from recording itself: the index is not available while that lasts, and it is tried again on
// the library's timer.
TEST_F(PhotoLibraryUsersTest, WithoutLocksAUsersFolderThatCannotBeWrittenKeepsTheIndexWaiting) {
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    fs::create_directory(users);
    const ScopedLockFailure noFileLocks(ENOLCK);
    const ScopedRecordLockFailure noRecordLocks(ENOLCK);
    const testing::ScopedPermissionBits permissionBits;
    {
        const ScopedMode readOnly(users, withoutWrite(users));
        const std::string text = reopened();
        EXPECT_TRUE(text.ends_with("The photo library's index " + index +
                                   " is not available now (this process cannot record itself "
                                   "among the index's users in " +
                                   quotedPath(users) +
                                   " (Permission denied), as it must without locks); the "
                                   "library tries again every 5 s and at the next change\n"))
            << text;
    }
    dispatch.runFor(std::chrono::seconds(5));
    EXPECT_EQ(library().fetchAssets().count(), 1u);
    EXPECT_TRUE(create(picture("b.JPG")).success);
}

// Whoever can write the library's folder may rename the users folder aside and put a link to
// another folder at its name at any moment: the records are written, moved and removed in the
// folder the opening opened, and nothing in the other folder changes.
TEST_F(PhotoLibraryUsersTest, AUsersFolderSwappedForALinkMidwayKeepsEveryCallInTheFolderOpened) {
    const fs::path outside = root / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "x.wal-left").put('\n');
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    bool swapped = false;
    {
        const ScopedFolderSteps steps(
            [&](FolderStepMoment moment, const fs::path& at, std::string_view) {
                if (!swapped && moment == FolderStepMoment::before && at == users) {
                    fs::rename(users, root / "aside");
                    fs::create_directory_symlink(outside, users);
                    swapped = true;
                }
            });
        library();
        ASSERT_TRUE(create(picture("b.JPG")).success);
        library_.reset();
    }
    EXPECT_TRUE(swapped);
    EXPECT_EQ(testing::namesIn(outside), std::vector<std::string>{"x.wal-left"});
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(users)));
    EXPECT_EQ(rowsIn(folder), 2);
}

// A record of a lock-folder user that may be live (one of another machine, of a sandbox of this
// boot, or a file that names no process) makes a process with locks lock the index with the
// folder too, since that user cannot see record locks: one line a session says so, naming the
// record's owner and file and what to remove. The record stays.
TEST_F(PhotoLibraryUsersTest, ALockFolderUserThatMayBeLiveSaysWhyTheIndexLocksWithAFolder) {
    ASSERT_TRUE(create(picture("a.JPG")).success);
    LockOwner sandbox = LockOwner::thisProcess();
    sandbox.pidNamespace = "pid:[1]";
    sandbox.pid = 12;
    const std::string start = "The photo library's index " + index +
                              " is locked with a folder beside it instead of record locks while ";
    struct Case {
        std::string name;
        std::string text;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"studio-4711-1.folder", ofAnotherMachine().text(),
         "process 4711 on 'studio' may lock it with a folder; once that machine no longer uses "
         "the library, remove its record " +
             quotedPath(users / "studio-4711-1.folder")},
        {"sandbox-12-1.folder", sandbox.text(),
         "process 12 in another sandbox of this machine may lock it with a folder; once that "
         "sandbox no longer uses the library, remove its record " +
             quotedPath(users / "sandbox-12-1.folder")},
        {"stray.folder", "not a record\n",
         quotedPath(users / "stray.folder") +
             " among its users, which names no process, may be the record of one that locks it "
             "with a folder; remove it if no program without locks uses the library"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        library_.reset();
        const fs::path made = record(each.name, each.text);
        EXPECT_EQ(reopened(), start + each.line + "\n");
        ConsoleCapture console;
        EXPECT_TRUE(create(picture(each.name + ".JPG")).success);
        EXPECT_EQ(journalMode(folder), "delete\n");
        // An index replaced while open is opened again: the line is not said again.
        fs::copy_file(folder / "library.sqlite", root / "copy.sqlite");
        fs::rename(root / "copy.sqlite", folder / "library.sqlite");
        EXPECT_TRUE(create(picture(each.name + "-again.JPG")).success);
        EXPECT_EQ(console.text().find(start), std::string::npos) << console.text();
        library_.reset();
        EXPECT_TRUE(fs::exists(made));
        fs::remove(made);
    }
    EXPECT_EQ(reopened(), "");
    EXPECT_TRUE(create(picture("b.JPG")).success);
    EXPECT_EQ(journalMode(folder), "wal\n");
}

// Records of this machine's processes that have ended (a killed process's, a sandbox's of an
// earlier boot) are removed by the next opening, which locks as if they were never there.
TEST_F(PhotoLibraryUsersTest, RecordsOfThisMachinesEndedProcessesAreRemovedSilently) {
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    LockOwner killed = LockOwner::thisProcess();
    killed.pid = testing::goneProcessId();
    LockOwner earlierBoot = LockOwner::thisProcess();
    earlierBoot.pidNamespace = "pid:[1]";
    earlierBoot.boot = "00000000-0000-0000-0000-000000000000";
    ASSERT_FALSE(earlierBoot.machine.empty()) << "this machine names no machine id";
    record("killed.folder", killed.text());
    record(".killed-while-writing", killed.text());
    record("earlier-boot.folder", earlierBoot.text());
    EXPECT_EQ(reopened(), "");
    EXPECT_TRUE(create(picture("b.JPG")).success);
    EXPECT_EQ(journalMode(folder), "wal\n");
    library_.reset();
    EXPECT_FALSE(fs::exists(users));
}

// A process with locks that finds a live WAL user and a lock-folder user that may be live
// cannot lock as both do: it refuses, and its line says what each does (before, it said the
// WAL user locks with record locks "this process cannot see", which it can).
TEST_F(PhotoLibraryUsersTest, AProcessWithLocksBetweenAWalUserAndAFolderUserSaysBoth) {
    busyWait = 50ms;
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    testing::ChildProcess walUser([&](testing::ChildProcess& self) {
        const ConsoleCapture quiet;
        reopen();
        library().fetchAssets();
        self.readyAndWait(); // its index open, with locks
        library_.reset();
        return 0;
    });
    ASSERT_TRUE(walUser.waitUntilReady());
    const fs::path folderRecord = record("studio-4711-1.folder", ofAnotherMachine().text());
    const std::string folderUser =
        "process 4711 on 'studio' may lock it with a folder; this process cannot lock it both "
        "ways at once; once that machine no longer uses the library, remove its record " +
        quotedPath(folderRecord) + ")";
    const CreateResult refused = create(picture("b.JPG"));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(*refused.error,
              "The photo library is not available now: its index " + index +
                  " cannot be used (it is in use by process " + std::to_string(walUser.pid()) +
                  " on this machine, which locks it with record locks, while " + folderUser);
    EXPECT_EQ(walUser.finish(), 0);
    library_.reset();

    // A WAL file that no user gone or closed left, beside that record.
    std::ofstream(folder / "library.sqlite-wal").put('\0');
    const CreateResult refusedToo = create(picture("c.JPG"));
    ASSERT_TRUE(refusedToo.error);
    EXPECT_EQ(*refusedToo.error, "The photo library is not available now: its index " + index +
                                     " cannot be used (its WAL file " +
                                     quotedPath(folder / "library.sqlite-wal") +
                                     " may be in use by a program that locks it with record "
                                     "locks, while " +
                                     folderUser);
}

// Nothing the library made for its users stays after clean ends: not the users folder (with
// locks or without), nor the record of a WAL user that closed while another still had the
// index open (its WAL file then still there).
TEST_F(PhotoLibraryUsersTest, AfterCleanEndsNothingOfTheUsersIsLeft) {
    ASSERT_TRUE(create(picture("a.JPG")).success);
    EXPECT_TRUE(fs::is_directory(users));
    library_.reset();
    EXPECT_FALSE(fs::exists(users));

    library();
    auto second = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
    dispatch.runUntilIdle();
    ASSERT_TRUE(create(picture("b.JPG")).success);
    library_.reset(); // the WAL file stays for the second
    EXPECT_TRUE(fs::exists(folder / "library.sqlite-wal"));
    second.reset();
    EXPECT_FALSE(fs::exists(folder / "library.sqlite-wal"));
    EXPECT_FALSE(fs::exists(users));

    {
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        const ConsoleCapture quiet;
        ASSERT_TRUE(create(picture("c.JPG")).success);
        library_.reset();
    }
    EXPECT_FALSE(fs::exists(users));
    EXPECT_EQ(testing::namesIn(folder), (std::vector<std::string>{"2024", "library.sqlite"}));
}

// Processes recording themselves among the users while others leave, the last of them removing
// the folder, never lose their record: one whose folder was removed between its opening and the
// write makes it again, so its record is in the folder at the name, where the others look.
TEST(IndexUsers, ProcessesEnteringWhileOthersLeaveKeepTheirRecordsWhereOthersLook) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path index = folder / "library.sqlite";
    const fs::path users = folder / "library.sqlite.users";
    constexpr int processCount = 8;
    constexpr int rounds = 300;
    std::vector<std::unique_ptr<testing::ChildProcess>> processes;
    for (int n = 0; n < processCount; ++n) {
        processes.push_back(std::make_unique<testing::ChildProcess>([&](testing::ChildProcess&) {
            const std::string mine =
                LockOwner::thisProcess().host + "-" + std::to_string(::getpid()) + "-";
            int lost = 0;
            for (int round = 0; round < rounds; ++round) {
                detail::IndexUsers opening(index);
                bool found = false;
                if (!opening.enter(detail::IndexUsers::Way::wal)) {
                    for (const std::string& name : testing::namesIn(users)) {
                        found = found || (name.starts_with(mine) && name.ends_with(".wal"));
                    }
                }
                lost += found ? 0 : 1;
                opening.leave();
            }
            return std::min(lost, 100);
        }));
    }
    for (const int lost : testing::runTogether(processes)) {
        EXPECT_EQ(lost, 0);
    }
    EXPECT_FALSE(fs::exists(users));
}

// Two WAL users closing at once, the last bringing the WAL file in and looking at the records
// between the first one's look at that file and its record's move to "wal-left": the first looks
// at the file again after the move, so nothing is left.
TEST(IndexUsers, TwoWalUsersClosingAtOnceLeaveNothing) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path index = folder / "library.sqlite";
    sqlite3* first = nullptr;
    sqlite3* second = nullptr;
    ASSERT_EQ(sqlite3_open(index.c_str(), &first), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(first, "PRAGMA journal_mode = WAL; CREATE TABLE t (x)", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_open(index.c_str(), &second), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(second, "SELECT count(*) FROM t", nullptr, nullptr, nullptr), SQLITE_OK);
    detail::IndexUsers firstUser(index);
    detail::IndexUsers secondUser(index);
    ASSERT_FALSE(firstUser.enter(detail::IndexUsers::Way::wal));
    ASSERT_FALSE(secondUser.enter(detail::IndexUsers::Way::wal));
    sqlite3_close(first);
    ASSERT_TRUE(fs::exists(folder / "library.sqlite-wal")); // the second still has it
    bool secondClosed = false;
    {
        const ScopedFolderSteps steps(
            [&](FolderStepMoment moment, const fs::path&, std::string_view name) {
                if (!secondClosed && moment == FolderStepMoment::before &&
                    name.ends_with(".wal-left")) {
                    secondClosed = true;
                    sqlite3_close(second);
                    secondUser.closed();
                }
            });
        firstUser.closed();
    }
    EXPECT_TRUE(secondClosed);
    EXPECT_FALSE(fs::exists(folder / "library.sqlite-wal"));
    EXPECT_FALSE(fs::exists(folder / "library.sqlite.users"));
}

// The names of the probe files in `folder`.
std::vector<std::string> probesIn(const fs::path& folder) {
    std::vector<std::string> probes = testing::namesIn(folder);
    std::erase_if(
        probes, [](const std::string& name) { return !name.starts_with("library.sqlite.probe-"); });
    return probes;
}

// A process killed while it probes the folder's locks leaves no probe file where the file
// system makes files without a name; where it does not (NFS), the probe named after the process
// is removed by the next opening, as its maker is gone. One whose maker may run (of another
// machine) stays, and one of an earlier version goes once an hour old. A named probe tells a
// file system without locks as the unnamed one does.
TEST_F(PhotoLibraryUsersTest, AProcessKilledWhileProbingLocksLeavesNoProbeBehind) {
    ASSERT_TRUE(create(picture("a.JPG")).success);
    library_.reset();
    for (const bool named : {false, true}) {
        testing::ChildProcess killed([&](testing::ChildProcess&) {
            const detail::ScopedLockProbe probe(named, [] { ::raise(SIGKILL); });
            reopen();
            return 1;
        });
        ASSERT_EQ(killed.finish(), 128 + SIGKILL);
        EXPECT_EQ(probesIn(folder).size(), named ? 1u : 0u);
    }
    const std::string ofAnotherMachine =
        "library.sqlite.probe-4711-1f.100.4026531836.00000000-0000-0000-0000-000000000000."
        "0123456789abcdef0123456789abcdef";
    std::ofstream(folder / ofAnotherMachine).put('\n');
    std::ofstream(folder / "library.sqlite.probe-Ll5qzH").put('\n');
    fs::last_write_time(folder / "library.sqlite.probe-Ll5qzH",
                        fs::file_time_type::clock::now() - 2h);
    std::ofstream(folder / "library.sqlite.probe-Xy12ab").put('\n');
    const std::vector<std::string> kept = {ofAnotherMachine, "library.sqlite.probe-Xy12ab"};
    EXPECT_EQ(reopened(), "");
    EXPECT_EQ(probesIn(folder), kept);

    const detail::ScopedLockProbe named(true, {});
    const ScopedLockFailure noFileLocks(ENOLCK);
    const ScopedRecordLockFailure noRecordLocks(ENOLCK);
    EXPECT_EQ(reopened(), "The photo library's folder " + quotedPath(folder) +
                              " is on a file system without locks (No locks available); its "
                              "index is locked with a folder beside it instead\n");
    EXPECT_EQ(probesIn(folder), kept);
    EXPECT_TRUE(create(picture("b.JPG")).success);
}

} // namespace
} // namespace qv::platform::test
