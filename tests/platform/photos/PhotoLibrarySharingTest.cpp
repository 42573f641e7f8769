// The library's folder as other processes and an unlucky user leave it: a huge file in a
// month folder, an index another connection holds, one that cannot be written, two
// processes opening one new library at once, and copies other processes have in progress.

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <fcntl.h>
#include <fstream>
#include <set>
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
                                      "library tries again at the next change\n");
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(create(a).error, "The photo library is not available now: its index " + index +
                                       " cannot be used (database is locked)");
    }
    ASSERT_TRUE(create(a).success); // made now, and the picture added
    EXPECT_EQ(library().fetchAssets().count(), 1u);
    EXPECT_TRUE(setAsideFiles(folder).empty());
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

TEST_F(PhotoLibraryTest, ProcessesOpeningOneNewLibraryAtOnceKeepEveryRow) {
    constexpr std::size_t processCount = 3;
    const std::vector<fs::path> sources = {
        writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00")),
        writeSource("b.DNG", makeDng(64, 48, "2024:03:14 21:30:05", false)),
        writeSource("c.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))};
    for (int round = 0; round < 4; ++round) {
        library_.reset();
        folder = root / ("Photos" + std::to_string(round));
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
