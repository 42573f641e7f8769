// An index the library may read but must not change (one of a newer version of the app, one
// whose state only a snapshot can see), and places where no index can be used until the
// user changes something: each says what is wrong once, and nothing is set aside.

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "RecordLockFailure.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/LockOwner.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <fstream>
#include <sqlite3.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

std::string userVersion(const fs::path& folder) {
    return imaging::test::runTool("sqlite3", {"-readonly", (folder / "library.sqlite").string(),
                                              "PRAGMA user_version"})
        .output;
}

class PhotoLibraryIndexStatesTest : public PhotoLibraryTest {
protected:
    void SetUp() override {
        PhotoLibraryTest::SetUp();
        index = quotedPath(folder / "library.sqlite");
    }

    // Opens the library (again); what it printed.
    std::string reopened() {
        library_.reset();
        ConsoleCapture console;
        library();
        return console.text();
    }

    std::string index;
};

// A later version's index over an expression this version has no function for: SQLite's
// integrity check cannot run on it, reading its rows can.
void indexOnAFunctionOfANewerVersion(const fs::path& folder) {
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "library.sqlite").c_str(), &database), SQLITE_OK);
    sqlite3_create_function(
        database, "sort_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
        [](sqlite3_context* context, int, sqlite3_value** values) {
            sqlite3_result_value(context, values[0]);
        },
        nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(database,
                           "CREATE INDEX assets_by_name ON assets (sort_key(original_name)); "
                           "PRAGMA user_version = 2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(database);
    sqlite3_close(database);
}

TEST_F(PhotoLibraryIndexStatesTest, AnIndexOfANewerVersionIsReadButNeverChangedOrSetAside) {
    const std::string why = "it was made by a newer version of this app: schema version 2, "
                            "this one knows 1";
    for (const bool onAFunction : {false, true}) {
        folder = root / (onAFunction ? "Function" : "Column") / "Photos";
        index = quotedPath(folder / "library.sqlite");
        library_.reset();
        ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
        library_.reset();
        if (onAFunction) {
            indexOnAFunctionOfANewerVersion(folder);
        } else { // a later version added a column and counts its schema on
            alterIndex(folder,
                       "ALTER TABLE assets ADD COLUMN rating INTEGER; PRAGMA user_version = 2");
        }
        EXPECT_EQ(reopened(), "The photo library's index " + index + " is read-only (" + why +
                                  "); the library shows its pictures but cannot add any\n");
        ASSERT_EQ(library().fetchAssets().count(), 1u);
        EXPECT_EQ(library().fetchAssets().firstObject()->originalFilename, "a.JPG");
        const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
        EXPECT_EQ(create(b).error, "The photo library cannot take new pictures: its index " +
                                       index + " is read-only (" + why + ")");
        EXPECT_EQ(pictureFiles(folder).size(), 1u);
        library_.reset();
        EXPECT_TRUE(setAsideFiles(folder).empty());
        EXPECT_EQ(userVersion(folder), "2\n");
    }
}

TEST_F(PhotoLibraryIndexStatesTest, ANewerIndexWhoseRowsThisVersionCannotReadShowsNone) {
    struct Case {
        const char* name;
        const char* sql;
        std::string cannotRead;
    };
    for (const Case& c : {
             // A view counting without end: read, it would never return.
             Case{"View",
                  "CREATE VIEW assets AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
                  "SELECT x + 1 FROM n) SELECT x AS id FROM n; PRAGMA user_version = 7;",
                  "its assets are not a table"},
             // A definition this version's SQLite cannot even parse: no statement can be
             // prepared on it.
             Case{"Schema",
                  "CREATE TABLE assets (id INTEGER PRIMARY KEY); PRAGMA writable_schema = ON; "
                  "INSERT INTO sqlite_schema VALUES ('table', 'later', 'later', 0, "
                  "'CREATE LATER TABLE later (x)'); PRAGMA user_version = 7;",
                  "malformed database schema (later) - near \"LATER\": syntax error"},
         }) {
        folder = root / c.name / "Photos";
        index = quotedPath(folder / "library.sqlite");
        fs::create_directories(folder);
        alterIndex(folder, c.sql);
        const std::string why = "it was made by a newer version of this app: schema version 7, "
                                "this one knows 1";
        EXPECT_EQ(reopened(), "The photo library's index " + index + " is read-only (" + why +
                                  "); this version cannot read its pictures (" + c.cannotRead +
                                  "), so the library shows none and cannot add any\n");
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).error,
                  "The photo library cannot take new pictures: its index " + index +
                      " is read-only (" + why + ")");
        library_.reset();
        EXPECT_TRUE(setAsideFiles(folder).empty());
        EXPECT_EQ(userVersion(folder), "7\n");
    }
}

// Leaves the index with a change in its WAL file alone (no checkpoint at the end), and the
// main file's copy of the assets table's page broken: only a reader of the WAL file sees an
// intact index.
void breakThePageTheJournalHolds(const fs::path& folder) {
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "library.sqlite").c_str(), &database), SQLITE_OK);
    sqlite3_db_config(database, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(database, "SELECT rootpage FROM sqlite_schema WHERE name = 'assets'", -1,
                       &statement, nullptr);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    const int page = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    ASSERT_EQ(sqlite3_exec(database, "PRAGMA wal_autocheckpoint = 0; UPDATE assets SET size = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(database);
    fs::remove(folder / "library.sqlite-shm");
    ASSERT_GT(fs::file_size(folder / "library.sqlite-wal"), 0u);
    std::fstream file(folder / "library.sqlite", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(page - 1) * 4096);
    const std::string garbage(64, '\xff');
    file.write(garbage.data(), std::streamsize(garbage.size()));
}

TEST_F(PhotoLibraryIndexStatesTest, ASnapshotsVerdictNeverSetsTheIndexAside) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    breakThePageTheJournalHolds(folder);
    const std::string before = readBytes(folder / "library.sqlite");
    {
        const ScopedMode readOnly(folder, withoutWrite(folder));
        testing::ScopedPermissionBits asTheOwner;
        const std::string printed = reopened();
        EXPECT_EQ(printed.find("damaged"), std::string::npos) << printed;
        EXPECT_EQ(printed, "The photo library cannot use its index " + index +
                               ": its folder cannot be written, which SQLite needs to read the "
                               "changes in its journal; allow writing in " +
                               quotedPath(folder) + "\n");
        library_.reset();
    }
    EXPECT_EQ(readBytes(folder / "library.sqlite"), before);
    EXPECT_TRUE(setAsideFiles(folder).empty());
    EXPECT_EQ(reopened(), ""); // read with its journal: intact
    ASSERT_EQ(library().fetchAssets().count(), 1u);
    EXPECT_EQ(library().fetchAssets().firstObject()->fileSize, 1u);
}

TEST_F(PhotoLibraryIndexStatesTest, AFolderWhereTheJournalGoesSaysWhatToChangeOncePerStart) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    fs::remove(folder / "library.sqlite-wal");
    fs::create_directory(folder / "library.sqlite-wal");
    const std::string line = "The photo library cannot use its index " + index + ": " +
                             quotedPath(folder / "library.sqlite-wal") +
                             " is a folder, not a file; remove or rename it";
    EXPECT_EQ(reopened(), line + "\n");
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    {
        ConsoleCapture console;
        EXPECT_EQ(create(b).error, line);
        EXPECT_EQ(create(b).error, line);
        EXPECT_EQ(console.text(), "");
    }
    EXPECT_TRUE(pictureFiles(folder).size() == 1u);
    library_.reset();
    fs::remove(folder / "library.sqlite-wal");
    EXPECT_EQ(reopened(), "");
    EXPECT_TRUE(create(b).success);
    EXPECT_EQ(library().fetchAssets().count(), 2u);
    EXPECT_TRUE(setAsideFiles(folder).empty());
}

TEST_F(PhotoLibraryIndexStatesTest, ALinkThatCanNeverBeOpenedSaysWhatToChangeOncePerStart) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    std::ofstream(root / "a.file") << "not a folder";
    struct Case {
        const char* name; // of the link, in the library's folder
        fs::path target;
        std::string what;
        std::string why;
    };
    for (const Case& c : {
             Case{"library.sqlite", "library.sqlite", "it", "Too many levels of symbolic links"},
             Case{"library.sqlite", root / "a.file" / "library.sqlite", "it", "Not a directory"},
             Case{"library.sqlite", std::string(300, 'n'), "it", "File name too long"},
             Case{"library.sqlite-wal", "library.sqlite-wal",
                  quotedPath(folder / "library.sqlite-wal"), "Too many levels of symbolic links"},
         }) {
        library_.reset();
        const fs::path link = folder / c.name;
        fs::rename(folder / "library.sqlite", root / "index");
        fs::remove(folder / "library.sqlite-wal");
        if (fs::path(c.name) != "library.sqlite") {
            fs::rename(root / "index", folder / "library.sqlite");
        }
        fs::create_symlink(c.target, link);
        const std::string line = "The photo library cannot use its index " + index + ": " + c.what +
                                 " cannot be opened (" + c.why + "); remove or rename it";
        for (int start = 0; start < 2; ++start) {
            EXPECT_EQ(reopened(), line + "\n") << c.name << " -> " << c.target;
            ConsoleCapture console;
            EXPECT_EQ(create(writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))).error,
                      line);
            dispatch.runFor(std::chrono::seconds(30));
            EXPECT_EQ(console.text(), ""); // nothing a later try would get past
        }
        library_.reset();
        fs::remove(link);
        if (fs::path(c.name) == "library.sqlite") {
            fs::rename(root / "index", folder / "library.sqlite");
        }
        EXPECT_EQ(reopened(), "");
        EXPECT_EQ(library().fetchAssets().count(), 1u);
        EXPECT_TRUE(setAsideFiles(folder).empty());
    }
}

TEST_F(PhotoLibraryIndexStatesTest, AFileWhereTheLibrarysFolderGoesSaysWhatToChange) {
    std::ofstream(folder) << "not a folder";
    const std::string line = "The photo library cannot use its index " + index + ": " +
                             quotedPath(folder) + " is not a folder; remove or rename it";
    EXPECT_EQ(reopened(), line + "\n");
    ConsoleCapture console;
    EXPECT_EQ(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).error, line);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(readBytes(folder), "not a folder");
}

// A home that cannot be made for lack of permission (HOME=/nonexistent as an ordinary user), or
// a folder without an index that cannot be written: the index is not available for the cause of
// the step that failed, making its folder or making it in its folder, not "No such file or
// directory" from opening a file that is not there; and it is tried again, as the line says.
TEST_F(PhotoLibraryIndexStatesTest, AFolderThatCannotBeMadeGivesTheCauseOfMakingIt) {
    const fs::path locked = testing::freshRunFolder() / "locked";
    fs::create_directory(locked);
    for (const bool folderMade : {false, true}) {
        folder = locked / (folderMade ? "made" : "home") / "Photos";
        index = quotedPath(folder / "library.sqlite");
        if (folderMade) {
            fs::create_directories(folder);
        }
        {
            const fs::path cannotWrite = folderMade ? folder : locked;
            const ScopedMode readOnly(cannotWrite, withoutWrite(cannotWrite));
            testing::ScopedPermissionBits asTheOwner;
            EXPECT_EQ(reopened(),
                      (folderMade ? ""
                                  : "Could not create the folder " + quotedPath(folder) +
                                        ": Permission denied\n") +
                          "The photo library's index " + index +
                          " is not available now (Permission denied); the library tries again "
                          "every 5 s and at the next change\n");
            EXPECT_EQ(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).error,
                      "The photo library is not available now: its index " + index +
                          " cannot be used (Permission denied)");
        }
        dispatch.runFor(std::chrono::seconds(5));
        EXPECT_TRUE(fs::exists(folder / "library.sqlite"));
        EXPECT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    }
}

// The journal mode of the library's index in `folder`, as sqlite3 reads it.
// A file system without locks (some network ones answer ENOLCK): no other process can hold the
// index's lock there, so the index opens without it instead of being called busy for good.
TEST_F(PhotoLibraryIndexStatesTest, OnAFileSystemWithoutLocksTheIndexOpensWithoutItsLock) {
    const ScopedLockFailure noLocks(ENOLCK);
    EXPECT_EQ(reopened(), "");
    EXPECT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    EXPECT_EQ(rowsIn(folder), 1);
}

// Without record locks either (a network file system whose lock daemon does not answer),
// SQLite's own locks fail: the index is locked with a folder beside it and a rollback journal
// instead, after one line, and keeps its rows; a lock file an earlier opening left there (it
// takes the lock folder's name) is removed. With locks back, the next opening goes back to WAL.
TEST_F(PhotoLibraryIndexStatesTest, WithoutRecordLocksTheIndexLocksWithAFolderAndKeepsItsRows) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    for (const int error : {ENOLCK, EOPNOTSUPP}) {
        library_.reset();
        const ScopedLockFailure noFileLocks(error);
        const ScopedRecordLockFailure noRecordLocks(error);
        std::ofstream(folder / "library.sqlite.lock").put('\n');
        EXPECT_EQ(reopened(), "The photo library's folder " + quotedPath(folder) +
                                  " is on a file system without locks (" +
                                  std::generic_category().message(error) +
                                  "); its index is locked with a folder beside it instead\n");
        EXPECT_EQ(library().fetchAssets().count(), error == ENOLCK ? 1u : 2u);
        ASSERT_TRUE(create(b).success);
        EXPECT_EQ(library().fetchAssets().count(), error == ENOLCK ? 2u : 3u);
        EXPECT_FALSE(fs::exists(folder / "library.sqlite.lock")); // taken only by a transaction
        EXPECT_FALSE(fs::exists(folder / "library.sqlite-wal"));
    }
    library_.reset();
    EXPECT_EQ(rowsIn(folder), 3);
    EXPECT_EQ(reopened(), "");
    EXPECT_EQ(journalMode(folder), "wal\n");
}

// Locks that stop working while the library has its index open (a lock daemon that stops
// answering): the save that finds them gone says so, opens the index again locked with its lock
// folder and goes in (before, every save failed as "held by another program"). With locks back,
// the next start goes back to WAL.
TEST_F(PhotoLibraryIndexStatesTest, LocksThatStopWhileTheIndexIsOpenGiveWayToItsLockFolder) {
    busyWait = std::chrono::milliseconds(50);
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    {
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        ConsoleCapture console;
        const CreateResult saved =
            create(writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00")));
        EXPECT_TRUE(saved.success) << saved.error.value_or("");
        EXPECT_EQ(console.text(), "The photo library's folder " + quotedPath(folder) +
                                      " no longer gives locks (No locks available); its index is "
                                      "opened again and locked with a folder beside it instead\n");
        EXPECT_EQ(library().fetchAssets().count(), 2u);
        EXPECT_TRUE(create(writeSource("c.JPG", makeJpeg(40, 30, "2024:01:03 10:00:00"))).success);
        library_.reset();
    }
    EXPECT_EQ(rowsIn(folder), 3);
    EXPECT_EQ(reopened(), "");
    EXPECT_EQ(journalMode(folder), "wal\n");
}

// A lock folder that names no owner (an earlier version's, or one killed between making it and
// recording itself) or whose owner is of another machine keeps the index busy, as its owner may
// still run: the line says so truly, and the index opens on the library's timer once it is
// removed.
TEST_F(PhotoLibraryIndexStatesTest, WithoutRecordLocksALockFolderThatMayBeHeldIsNamed) {
    busyWait = std::chrono::milliseconds(0); // a held lock fails at once
    const ScopedLockFailure noFileLocks(ENOLCK);
    const ScopedRecordLockFailure noRecordLocks(ENOLCK);
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    const fs::path lockFolder = folder / "library.sqlite.lock";
    LockOwner elsewhere = LockOwner::thisProcess();
    elsewhere.host = "studio";
    elsewhere.machine = "0123456789abcdef0123456789abcdef";
    elsewhere.boot = "00000000-0000-0000-0000-000000000000";
    const std::string lockLine = "The photo library's index " + index +
                                 " is not available now (database is locked: its lock folder " +
                                 quotedPath(lockFolder);
    const std::string retryLine = "); the library tries again every 5 s and at the next change\n";
    for (const bool named : {false, true}) {
        library_.reset();
        fs::create_directory(lockFolder);
        if (named) {
            std::ofstream(lockFolder / "owner") << elsewhere.text();
        }
        const std::string text = reopened();
        EXPECT_TRUE(text.ends_with(
            lockLine +
            (named ? " is held by process " + std::to_string(elsewhere.pid) +
                         " on 'studio' (remove it if nothing there uses it any more)"
                   : " names no owner (an earlier version of this app is taking it, or was "
                     "killed while taking it; remove it if no program uses it)") +
            retryLine))
            << text;
        fs::remove_all(lockFolder);
        dispatch.runFor(std::chrono::seconds(5));
        EXPECT_EQ(library().fetchAssets().count(), 1u);
    }
}

// A folder under the test's own whose index path is `length` characters long.
fs::path libraryWithIndexPathOf(const fs::path& root, std::size_t length) {
    const std::size_t home = length - std::string("/Photos/library.sqlite").size();
    fs::path folder = root;
    while (folder.string().size() < home) {
        folder /= std::string(std::min<std::size_t>(60, home - folder.string().size() - 1), 'h');
    }
    return folder / "Photos";
}

TEST_F(PhotoLibraryIndexStatesTest, AHomeTooLongForSqliteSaysWhatToChange) {
    // SQLite opens a path of up to 504 characters (512 less room for "-journal").
    folder = libraryWithIndexPathOf(root / "longest", 504);
    ASSERT_EQ((folder / "library.sqlite").string().size(), 504u);
    EXPECT_EQ(reopened(), "");
    EXPECT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);

    folder = libraryWithIndexPathOf(root / "longer", 505);
    index = quotedPath(folder / "library.sqlite");
    const std::string line = "The photo library cannot use its index " + index +
                             ": its path is longer than SQLite can open (505 characters, at most "
                             "504); give the app a home with a shorter path";
    EXPECT_EQ(reopened(), line + "\n");
    EXPECT_EQ(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).error, line);
    EXPECT_FALSE(fs::exists(folder));
}

} // namespace
} // namespace qv::platform::test
