// The library's folder as other processes and an unlucky user leave it: a huge file in a
// month folder, an index another connection holds, one that cannot be written, two
// processes opening one new library at once, and copies other processes have in progress.

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "RecordLockFailure.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/detail/LockFolderFiles.hpp"
#include "platform/photos/detail/Uuid.hpp"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void writeFile(const fs::path& file, const imaging::FileData& data) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

void age(const fs::path& file, fs::file_time_type::duration by) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - by);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(PhotoLibraryTest, AHugeFileInAMonthFolderIsLeftOutAtEveryOpeningAndKept) {
    library();
    const fs::path month = folder / "2026" / "12";
    fs::create_directories(month);
    const fs::path huge = month / "3F2504E0-4F89-41D3-9A0C-0305E82C3301.JPG";
    writeFile(huge, makeJpeg(40, 30, "2026:12:24 18:00:00"));
    fs::resize_file(huge, std::uintmax_t(6) << 30); // sparse: a picture followed by 6 GB of zeros
    ASSERT_EQ(::mkfifo((month / "6F9619FF-8B86-D011-B42D-00C04FC964FF.JPG").c_str(), 0644), 0);

    for (int opening = 0; opening < 2; ++opening) {
        ConsoleCapture console;
        reopen();
        EXPECT_EQ(console.text(), "The photo library leaves " + quotedPath(huge) +
                                      " out: it is larger than 512 MB\n");
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(fs::file_size(huge), std::uintmax_t(6) << 30);
    }
    // Neither is taken as the source of a new asset, and the library still takes pictures.
    EXPECT_EQ(create(huge).error, "Cannot read " + quotedPath(huge) + ": it is larger than 512 MB");
    const fs::path fifo = root / "fifo.JPG";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(create(fifo).error,
              "Cannot read " + quotedPath(fifo) + ": it is a FIFO, not a regular file");
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    EXPECT_EQ(library().fetchAssets().count(), 1u);
}

TEST_F(PhotoLibraryTest, AnIndexAnotherConnectionWritesIsWaitedForAndNeverSetAside) {
    busyWait = 50ms;
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    library_.reset();
    {
        HeldIndex held(folder);
        ConsoleCapture console;
        reopen(); // checking and reading need no write lock
        EXPECT_EQ(console.text(), "");
        EXPECT_EQ(library().fetchAssets().count(), 1u);

        const CreateResult busy = create(b);
        EXPECT_FALSE(busy.success);
        EXPECT_EQ(busy.error, "The photo library is not available now: its index " +
                                  quotedPath(folder / "library.sqlite") +
                                  " is held by another program (database is locked)");
        EXPECT_EQ(pictureFiles(folder).size(), 1u); // the copy went again
        EXPECT_TRUE(fs::exists(b));
    }
    ASSERT_TRUE(create(b).success); // the next change goes through
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 2u);
    EXPECT_EQ(all.object(0)->originalFilename, "b.JPG");
    EXPECT_EQ(all.object(1)->originalFilename, "a.JPG");
    EXPECT_TRUE(setAsideFiles(folder).empty());
}

TEST_F(PhotoLibraryTest, ANewIndexAnotherConnectionIsMakingIsNotAvailableUntilTheNextChange) {
    busyWait = 50ms;
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    const std::string index = quotedPath(folder / "library.sqlite");
    {
        // A schema on its way in another connection's transaction, not yet committed.
        HeldIndex held(folder, "CREATE TABLE assets (id INTEGER PRIMARY KEY);");
        ConsoleCapture console;
        library();
        EXPECT_EQ(console.text(), "The photo library's index " + index +
                                      " is not available now (database is locked); the "
                                      "library tries again every 5 s and at the next change\n");
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(create(a).error, "The photo library is not available now: its index " + index +
                                       " cannot be used (database is locked)");
    }
    ASSERT_TRUE(create(a).success); // made now, and the picture added
    EXPECT_EQ(library().fetchAssets().count(), 1u);
    EXPECT_TRUE(setAsideFiles(folder).empty());
}

// An index another program holds at the start, over files without a row: the library says so
// once, and takes them in when the index is free, at the next try of its timer or at the next
// change, whichever comes first.
TEST_F(PhotoLibraryTest, FilesWithoutARowWaitForAnIndexAnotherProgramHoldsAndComeInOnceItIsFree) {
    busyWait = 50ms;
    const fs::path picture = writeSource("loose.JPG", makeJpeg(40, 30, "2024:01:05 20:00:00"));
    for (const bool atTheNextChange : {false, true}) {
        library_.reset();
        folder = root / (atTheNextChange ? "Change" : "Timer") / "Photos";
        const std::string line = "The photo library's index " +
                                 quotedPath(folder / "library.sqlite") +
                                 " is not available now (database is locked); the library tries "
                                 "again every 5 s and at the next change\n";
        ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
        library_.reset();
        const fs::path month = folder / "2024" / "01";
        for (int i = 0; i < 40; ++i) { // more than one batch of a lane
            fs::create_hard_link(picture, month / (detail::newUuid() + ".JPG"));
        }
        std::optional<HeldIndex> held(folder);
        ConsoleCapture console;
        reopen();
        EXPECT_EQ(library().fetchAssets().count(), 1u);
        dispatch.runFor(12s); // held all the while: tried again, said once
        EXPECT_EQ(console.text(), line);
        EXPECT_EQ(rowsIn(folder), 1);

        held.reset();
        if (atTheNextChange) {
            ASSERT_TRUE(
                create(writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))).success);
        } else {
            dispatch.runFor(5s);
        }
        EXPECT_EQ(console.text(), line + "The photo library took in 40 files that had no entry "
                                         "in its index\n");
        EXPECT_EQ(rowsIn(folder), static_cast<long long>(pictureFiles(folder).size()));
        EXPECT_EQ(library().fetchAssets().count(), pictureFiles(folder).size());
    }
}

// The commits in a WAL file: frames whose header gives the database's size after it.
int commitsIn(const fs::path& wal) {
    const std::string bytes = readBytes(wal);
    const auto word = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(bytes[at])) << 24 |
               std::uint32_t(std::uint8_t(bytes[at + 1])) << 16 |
               std::uint32_t(std::uint8_t(bytes[at + 2])) << 8 | std::uint8_t(bytes[at + 3]);
    };
    if (bytes.size() < 32) {
        return 0;
    }
    const std::size_t pageSize = word(8);
    int commits = 0;
    for (std::size_t frame = 32; frame + 24 + pageSize <= bytes.size(); frame += 24 + pageSize) {
        commits += word(frame + 4) != 0 ? 1 : 0;
    }
    return commits;
}

TEST_F(PhotoLibraryTest, ANewIndexIsMadeInOneCommitSoOthersSeeNoneOrAllOfIt) {
    library(); // and kept open, so its WAL file holds what it wrote
    EXPECT_EQ(commitsIn(folder / "library.sqlite-wal"), 1);
    const auto run = imaging::test::runTool(
        "sqlite3", {"-readonly", (folder / "library.sqlite").string(),
                    "PRAGMA user_version; SELECT count(*) FROM sqlite_schema"});
    EXPECT_EQ(run.output, "1\n4\n"); // the table, its two unique indexes and ours
}

TEST_F(PhotoLibraryTest, AnEmptyDatabaseIsANewIndexNotADamagedOne) {
    fs::create_directories(folder);
    std::ofstream(folder / "library.sqlite").flush(); // no byte at all
    ConsoleCapture console;
    EXPECT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    fs::remove(folder / "library.sqlite");
    HeldIndex(folder, "COMMIT; PRAGMA journal_mode = WAL; BEGIN;"); // a WAL header, no table
    reopen();
    EXPECT_EQ(library().fetchAssets().count(), 1u); // the file, taken in again
    EXPECT_EQ(console.text(), "The photo library took in 1 file that had no entry in its index\n");
    EXPECT_TRUE(setAsideFiles(folder).empty());
}

TEST_F(PhotoLibraryTest, AnIndexWhoseTablesCarryNoVersionIsSetAsideSayingSo) {
    fs::create_directories(folder);
    HeldIndex(folder, "CREATE TABLE assets (id INTEGER PRIMARY KEY); COMMIT; BEGIN;");
    ConsoleCapture console;
    library();
    EXPECT_TRUE(contains(console.text(), "is damaged (its tables carry no schema version)"))
        << console.text();
    EXPECT_EQ(setAsideFiles(folder).size(), 1u);
    EXPECT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
}

// The last rounds on a file system without locks, where every process locks the index with
// SQLite's lock folder instead.
TEST_F(PhotoLibraryTest, ProcessesOpeningOneNewLibraryAtOnceKeepEveryRowWithOrWithoutLocks) {
    constexpr std::size_t processCount = 3;
    const std::vector<fs::path> sources = {
        writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00")),
        writeSource("b.DNG", makeDng(64, 48, "2024:03:14 21:30:05", false)),
        writeSource("c.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))};
    for (int round = 0; round < 6; ++round) {
        library_.reset();
        folder = root / ("Photos" + std::to_string(round));
        std::optional<ScopedLockFailure> noFileLocks;
        std::optional<ScopedRecordLockFailure> noRecordLocks;
        if (round >= 4) {
            noFileLocks.emplace(ENOLCK);
            noRecordLocks.emplace(ENOLCK);
        }
        std::vector<std::unique_ptr<testing::ChildProcess>> processes;
        for (std::size_t n = 0; n < processCount; ++n) {
            processes.push_back(std::make_unique<testing::ChildProcess>([&](auto& self) {
                permissions = std::make_unique<Permissions>(root / "permissions.json",
                                                            PermissionOptions{"photos=authorized"});
                self.readyAndWait(); // all open the library at the same moment
                library_ = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
                int failed = 0;
                for (const fs::path& source : sources) {
                    failed += create(source).success ? 0 : 1;
                }
                return failed;
            }));
        }
        for (auto& process : processes) {
            ASSERT_TRUE(process->waitUntilReady());
        }
        for (auto& process : processes) {
            process->letGo();
        }
        for (auto& process : processes) {
            EXPECT_EQ(process->finish(), 0) << "round " << round;
        }
        noRecordLocks.reset();
        noFileLocks.reset();

        ConsoleCapture console;
        library();
        const FetchResult all = library().fetchAssets();
        EXPECT_EQ(all.count(), processCount * sources.size()) << "round " << round;
        EXPECT_EQ(pictureFiles(folder).size(), processCount * sources.size());
        std::multiset<std::string> names;
        for (std::size_t i = 0; i < all.count(); ++i) {
            names.insert(all.object(i)->originalFilename);
        }
        for (const fs::path& source : sources) {
            EXPECT_EQ(names.count(source.filename().string()), processCount);
        }
        EXPECT_TRUE(setAsideFiles(folder).empty()) << "round " << round;
        EXPECT_EQ(console.text(), ""); // nothing to take in or drop
    }
}

// The rows of the index file as it is, its journal not read (nor rolled back); -1 when it cannot
// be read so.
long long rowsInTheFileAlone(const fs::path& index) {
    sqlite3* database = nullptr;
    long long rows = -1;
    if (sqlite3_open_v2(("file:" + index.string() + "?immutable=1").c_str(), &database,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(database, "SELECT count(*) FROM assets", -1, &statement, nullptr);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            rows = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(database);
    return rows;
}

// Without locks, a process killed during a change (its half-written pages already in the index,
// their old contents in its journal) or while it only read leaves the index's lock folder: the
// next save breaks it, as its owner (recorded in it) no longer runs, SQLite rolls the half-written
// change back from the journal, and the rows written before stay.
TEST_F(PhotoLibraryTest, WithoutLocksALockFolderLeftByAKilledProcessIsBrokenAndItsChangeUndone) {
    busyWait = 50ms;
    std::optional<ScopedLockFailure> noFileLocks(ENOLCK);
    std::optional<ScopedRecordLockFailure> noRecordLocks(ENOLCK); // the children inherit both
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    std::size_t expected = 1;
    for (const bool changing : {true, false}) {
        SCOPED_TRACE(changing ? "killed during a change" : "killed while reading");
        library_.reset();
        const fs::path index = folder / "library.sqlite";
        testing::ChildProcess killed([&](testing::ChildProcess&) {
            sqlite3* database = nullptr;
            if (sqlite3_open_v2(index.c_str(), &database, SQLITE_OPEN_READWRITE,
                                detail::lockFolderFiles()) != SQLITE_OK) {
                return 1;
            }
            const char* sql =
                changing ? "BEGIN IMMEDIATE; WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x "
                           "+ 1 FROM n WHERE x < 200) INSERT INTO assets (identifier, file, "
                           "creation_date, size, kind, pixel_width, pixel_height, orientation, "
                           "original_name, thumbnail) SELECT 'half' || x, '2024/01/half' || x || "
                           "'.JPG', '2024-01-01T00:00:00.000Z', 1, 'jpeg', 1, 1, 1, 'x', "
                           "zeroblob(4000) FROM n"
                         : "BEGIN; SELECT count(*) FROM assets";
            // The change's pages go to the file (its journal first holding their old contents).
            if (sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK &&
                sqlite3_db_cacheflush(database) == SQLITE_OK) {
                ::raise(SIGKILL);
            }
            return 1;
        });
        ASSERT_EQ(killed.finish(), 128 + SIGKILL);
        EXPECT_TRUE(fs::is_directory(folder / "library.sqlite.lock"));
        if (changing) {
            // Half a change is in the file: read without its journal it is malformed.
            EXPECT_NE(rowsInTheFileAlone(index), static_cast<long long>(expected));
            EXPECT_TRUE(fs::exists(folder / "library.sqlite-journal"));
        }
        ConsoleCapture console;
        const CreateResult saved = create(
            writeSource(changing ? "b.JPG" : "c.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00")));
        EXPECT_TRUE(saved.success) << saved.error.value_or("");
        expected += 1;
        EXPECT_EQ(library().fetchAssets().count(), expected);
        EXPECT_FALSE(fs::exists(folder / "library.sqlite-journal"));
    }
    library_.reset();
    noRecordLocks.reset();
    noFileLocks.reset();
    EXPECT_FALSE(fs::exists(folder / "library.sqlite.lock"));
    EXPECT_EQ(rowsIn(folder), static_cast<long long>(expected));
    EXPECT_EQ(queryNumber(folder, "SELECT count(*) FROM pragma_integrity_check WHERE "
                                  "integrity_check = 'ok'"),
              1);
    // Rolled back, not rebuilt: the index was never set aside, and every name is kept.
    EXPECT_EQ(setAsideFiles(folder), std::vector<std::string>{});
    EXPECT_EQ(queryNumber(folder, "SELECT count(*) FROM assets WHERE original_name IN "
                                  "('a.JPG', 'b.JPG', 'c.JPG')"),
              static_cast<long long>(expected));
}

// Two processes saving into one new library at once, one with locks (WAL and record locks) and
// one without (lock folders and a rollback journal), as two machines on one network home whose
// lock daemons differ: the two lock the same way or one refuses with a line, so every save that
// says it succeeded has its row (before, saves of both said so and rows were lost).
TEST_F(PhotoLibraryTest, AProcessWithLocksBesideOneWithoutLosesNoRowSilently) {
    constexpr int rounds = 12;
    busyWait = 500ms;
    const std::vector<fs::path> sources = writeSources(4);
    for (int round = 0; round < rounds; ++round) {
        library_.reset();
        folder = root / ("Mixed" + std::to_string(round)) / "Photos";
        std::vector<std::unique_ptr<testing::ChildProcess>> processes;
        for (const bool withLocks : {true, false}) {
            processes.push_back(std::make_unique<testing::ChildProcess>([&, withLocks](auto& self) {
                std::optional<ScopedLockFailure> noFileLocks;
                std::optional<ScopedRecordLockFailure> noRecordLocks;
                if (!withLocks) {
                    noFileLocks.emplace(ENOLCK);
                    noRecordLocks.emplace(ENOLCK);
                }
                const ConsoleCapture quiet;
                permissions = std::make_unique<Permissions>(root / "permissions.json",
                                                            PermissionOptions{"photos=authorized"});
                self.readyAndWait(); // both open the library at the same moment
                library_ = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
                int saved = 0;
                for (const fs::path& source : sources) {
                    saved += create(source).success ? 1 : 0;
                }
                library_.reset();
                return saved; // its exit status
            }));
        }
        int saved = 0;
        for (const int status : testing::runTogether(processes)) {
            saved += status;
        }
        EXPECT_GT(saved, 0) << "round " << round;
        EXPECT_EQ(rowsIn(folder), saved) << "round " << round;
        EXPECT_EQ(pictureFiles(folder).size(), std::size_t(saved)) << "round " << round;
    }
}

// While a process with locks has the index open (WAL), one without refuses to save, saying who
// uses it; while one without has it open, one with locks locks it with the lock folder too.
TEST_F(PhotoLibraryTest, AProcessWithoutLocksRefusesBesideAWalUserAndOneWithLocksLocksAsItDoes) {
    busyWait = 50ms;
    const fs::path a = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    ASSERT_TRUE(create(a).success); // and kept open, with locks
    const std::string index = quotedPath(folder / "library.sqlite");
    const std::string walUsers = (folder / "library.sqlite.users").string();
    testing::ChildProcess refused([&](testing::ChildProcess&) {
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        const ConsoleCapture quiet;
        library_.release(); // the test's, whose connection this child must not close
        reopen();
        const CreateResult saved = create(b);
        const std::string expected =
            "The photo library is not available now: its index " + index +
            " cannot be used (it is in use by process " + std::to_string(::getppid()) +
            " on this machine, which locks it with record locks this process cannot see; if "
            "that process no longer runs, remove '" +
            walUsers + "/";
        return !saved.success && saved.error->starts_with(expected) &&
                       pictureFiles(folder).size() == 1
                   ? 0
                   : 1;
    });
    EXPECT_EQ(refused.finish(), 0);
    EXPECT_EQ(library().fetchAssets().count(), 1u);
    library_.reset();

    testing::ChildProcess withoutLocks([&](testing::ChildProcess& self) {
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        const ConsoleCapture quiet;
        reopen();
        library().fetchAssets();
        self.readyAndWait(); // its index open while the test saves
        return create(b).success ? 0 : 1;
    });
    ASSERT_TRUE(withoutLocks.waitUntilReady());
    reopen();
    ASSERT_TRUE(create(writeSource("c.JPG", makeJpeg(40, 30, "2024:01:03 10:00:00"))).success);
    EXPECT_FALSE(fs::exists(folder / "library.sqlite-wal")); // locked as the other does
    EXPECT_EQ(withoutLocks.finish(), 0);
    library_.reset();
    EXPECT_EQ(rowsIn(folder), 3);
}

// What is wrong with a library after two processes each added a picture over a damaged index
// (`damaged`, its bytes); empty when nothing is: the damaged file alone set aside, once and
// unchanged, and one row in the live index for each picture file, both pictures among them.
std::string faultAfterDamagedIndex(const fs::path& folder, const std::string& damaged) {
    std::vector<std::string> aside;
    for (const std::string& name : setAsideFiles(folder)) {
        if (!name.ends_with("-wal") && !name.ends_with("-shm")) {
            aside.push_back(name);
        }
    }
    if (aside.size() != 1) {
        return std::to_string(aside.size()) + " indexes set aside";
    }
    if (readBytes(folder / aside.front()) != damaged) {
        return "the index set aside is not the damaged one";
    }
    const long long rows = rowsIn(folder);
    const long long pictures = queryNumber(
        folder, "SELECT count(DISTINCT original_name) FROM assets WHERE original_name IN "
                "('a.JPG', 'b.JPG')");
    if (rows != static_cast<long long>(pictureFiles(folder).size()) || pictures != 2) {
        return std::to_string(rows) + " rows (" + std::to_string(pictures) +
               " of the two pictures) for " + std::to_string(pictureFiles(folder).size()) +
               " files";
    }
    return "";
}

TEST_F(PhotoLibraryTest, TwoProcessesAtOneDamagedIndexSetOnlyItAsideAndKeepBothPictures) {
    constexpr int trials = 200;
    const std::vector<fs::path> sources = {
        writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00")),
        writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))};
    // An index of this app (WAL journal) of 40 rows with a broken page: SQLite's check reads
    // some 300 kB before it proves the damage.
    folder = root / "Template";
    library();
    library_.reset();
    alterIndex(
        folder,
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 40) "
        "INSERT INTO assets (identifier, file, creation_date, size, kind, pixel_width, "
        "pixel_height, orientation, original_name, thumbnail) SELECT x, '2024/01/' || x || "
        "'.JPG', '2024-01-01T00:00:00.000Z', 1, 'jpeg', 1, 1, 1, 'x', zeroblob(8000) FROM n");
    const long long page = queryNumber(
        folder, "SELECT rootpage FROM sqlite_schema WHERE name = 'assets_newest_first'");
    std::string damaged = readBytes(folder / "library.sqlite");
    ASSERT_GE(damaged.size(), std::size_t(page * 4096));
    std::fill_n(damaged.begin() + std::ptrdiff_t((page - 1) * 4096), 64, '\xff');
    std::map<std::string, int> faults; // trials, by what was wrong after them
    for (int trial = 0; trial < trials; ++trial) {
        folder = root / ("Damaged" + std::to_string(trial)) / "Photos";
        fs::create_directories(folder);
        std::ofstream(folder / "library.sqlite") << damaged;
        std::vector<std::unique_ptr<testing::ChildProcess>> processes;
        for (const fs::path& source : sources) {
            processes.push_back(std::make_unique<testing::ChildProcess>([&](auto& self) {
                const ConsoleCapture quiet;
                permissions = std::make_unique<Permissions>(root / "permissions.json",
                                                            PermissionOptions{"photos=authorized"});
                self.readyAndWait(); // both open the library at the same moment
                library_ = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
                const bool added = create(source).success;
                library_.reset(); // as the app ends: its connection closes (and checkpoints)
                return added ? 0 : 1;
            }));
        }
        for (auto& process : processes) {
            ASSERT_TRUE(process->waitUntilReady());
        }
        for (auto& process : processes) {
            process->letGo();
        }
        int notAdded = 0;
        for (auto& process : processes) {
            notAdded += process->finish() == 0 ? 0 : 1;
        }
        std::string fault = notAdded > 0 ? std::to_string(notAdded) + " pictures not added"
                                         : faultAfterDamagedIndex(folder, damaged);
        if (!fault.empty()) {
            ++faults[fault];
        }
        fs::remove_all(folder.parent_path());
    }
    std::string failed;
    for (const auto& [fault, count] : faults) {
        failed.append("\n").append(std::to_string(count)).append(" trials: ").append(fault);
    }
    EXPECT_EQ(failed, "") << "of " << trials << " trials";
}

TEST_F(PhotoLibraryTest, AnIndexThatCannotBeWrittenIsReadAndEachChangeSaysWhy) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    ASSERT_TRUE(create(writeSource("gone.JPG", makeJpeg(40, 30, "2024:01:03 10:00:00"))).success);
    fs::remove(library().fetchAssets().firstObject()->file); // its row stays until a writer
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    const std::string index = quotedPath(folder / "library.sqlite");
    struct Case {
        fs::path readOnly;
        std::string why;
    };
    // The folder twice: without the index's journal files, and with those a reader that
    // could not write left behind.
    for (const Case& c : {Case{folder, "its folder cannot be written"},
                          Case{folder / "library.sqlite", "its file cannot be written"},
                          Case{folder, "its folder cannot be written"}}) {
        library_.reset();
        {
            const ScopedMode readOnly(c.readOnly, withoutWrite(c.readOnly));
            testing::ScopedPermissionBits asTheOwner;
            ConsoleCapture console;
            reopen();
            EXPECT_EQ(console.text(), "The photo library's index " + index + " is read-only (" +
                                          c.why +
                                          "); the library shows its pictures but cannot add "
                                          "any\n");
            const FetchResult all = library().fetchAssets();
            ASSERT_EQ(all.count(), 1u); // not the asset whose file is gone
            EXPECT_EQ(all.firstObject()->originalFilename, "a.JPG");
            EXPECT_EQ(create(b).error, "The photo library cannot take new pictures: its index " +
                                           index + " is read-only (" + c.why + ")");
            EXPECT_EQ(pictureFiles(folder).size(), 1u);
            library_.reset();
        }
        EXPECT_TRUE(setAsideFiles(folder).empty());
    }
    ConsoleCapture console;
    reopen();
    EXPECT_EQ(console.text(), "The photo library dropped 1 asset whose file is gone\n");
    ASSERT_TRUE(create(b).success);
    EXPECT_EQ(library().fetchAssets().count(), 2u);
    EXPECT_EQ(library().fetchAssets().object(1)->originalFilename, "a.JPG");
}

TEST_F(PhotoLibraryTest, OpeningRemovesOnlyTheCopiesOfWritersThatAreGone) {
    library();
    const fs::path month = folder / "2024" / "01";
    fs::create_directories(month);
    const auto copyOf = [&](pid_t pid, int n) {
        return month / ("X.JPG.tmp-" + std::to_string(pid) + "-" + std::to_string(n));
    };
    const pid_t gone = testing::goneProcessId();
    const fs::path leftOver = copyOf(gone, 0);
    std::ofstream(leftOver) << "half a copy";
    age(leftOver, 2min);
    const fs::path justWritten = copyOf(gone, 1); // its writer may not have locked it yet
    std::ofstream(justWritten) << "half a copy";
    const fs::path ours = copyOf(::getpid(), 7); // a live writer that holds no lock
    std::ofstream(ours) << "half a copy";
    age(ours, 2min);
    // Another process's copy in progress: it holds the lock its writer takes.
    testing::ChildProcess writer([&](testing::ChildProcess& self) {
        const int fd = ::open(copyOf(::getpid(), 0).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
            return 1;
        }
        self.readyAndWait();
        return 0;
    });
    ASSERT_TRUE(writer.waitUntilReady());
    const fs::path inProgress = copyOf(writer.pid(), 0);
    age(inProgress, 48h);

    reopen();
    EXPECT_FALSE(fs::exists(leftOver));
    EXPECT_TRUE(fs::exists(justWritten));
    EXPECT_TRUE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(inProgress));

    EXPECT_EQ(writer.finish(), 0);
    reopen();
    EXPECT_FALSE(fs::exists(inProgress)); // its writer is gone and it is old
    EXPECT_TRUE(fs::exists(justWritten));
    EXPECT_EQ(library().fetchAssets().count(), 0u); // none is taken for a picture
}

} // namespace
} // namespace qv::platform::test
