// The index on disk changed under the running library: deleted (with its folder or not),
// replaced by an older copy, or made writable after the library opened it read-only. The
// library's index is the one at the path at the next save, holding a row, with its original
// name, for every picture file; all in the same session, on the virtual clock.

#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/detail/JournalFiles.hpp"

#include <fstream>
#include <sqlite3.h>
#include <unistd.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

class PhotoLibraryIndexOnDiskTest : public PhotoLibraryTest {
protected:
    // Saves a new picture named `name`; whether it was added (why not in `refusal`).
    bool save(const std::string& name) {
        const std::string day = std::to_string(10 + saved_++);
        const CreateResult result =
            create(writeSource(name, makeJpeg(40, 30, "2024:01:" + day + " 10:00:00")));
        refusal = result.error.value_or("");
        return result.success;
    }

    // The original names of the rows of the index on disk, in order; one for each picture file
    // under the library's folder (else the counts, which then differ).
    std::string namesOnDisk() {
        std::string names;
        sqlite3* database = nullptr;
        sqlite3_open_v2((folder / "library.sqlite").c_str(), &database, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(database, "SELECT original_name FROM assets ORDER BY original_name", -1,
                           &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            names += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            names += ' ';
        }
        sqlite3_finalize(statement);
        sqlite3_close(database);
        const long long rows = rowsIn(folder);
        const std::size_t files = pictureFiles(folder).size();
        return rows == static_cast<long long>(files)
                   ? names
                   : std::to_string(rows) + " rows for " + std::to_string(files) + " files";
    }

    std::string fetchedNames() {
        std::string names;
        const FetchResult all = library().fetchAssets();
        for (std::size_t i = all.count(); i-- > 0;) {
            names += all.object(i)->originalFilename + ' ';
        }
        return names;
    }

    std::string replacedLine() const {
        return "The photo library's index " + quotedPath(folder / "library.sqlite") +
               " was deleted or replaced while the library had it open; the library uses the "
               "one there now (or a new one) and keeps the names of the pictures it knew\n";
    }

    std::string refusal;
    int saved_ = 0;
};

void deleteIndexFiles(const fs::path& folder) {
    for (const char* name : {"library.sqlite", "library.sqlite-wal", "library.sqlite-shm"}) {
        fs::remove(folder / name);
    }
}

TEST_F(PhotoLibraryIndexOnDiskTest, AnIndexDeletedWhileOpenIsMadeAgainWithTheNamesItKnew) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG") && save("c.JPG"));
    deleteIndexFiles(folder);
    ConsoleCapture console;
    ASSERT_TRUE(save("d.JPG"));
    EXPECT_EQ(console.text(), replacedLine());
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG d.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG d.JPG ");
    ASSERT_TRUE(save("e.JPG")); // the index followed is kept from now on
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG d.JPG e.JPG ");
    EXPECT_EQ(console.text(), replacedLine());
}

// Deleted where no new index can be made yet (its folder cannot be written): the save fails and
// says why, and the index made once it can be, on the library's timer, has every name.
TEST_F(PhotoLibraryIndexOnDiskTest, AnIndexDeletedWhereNoneCanBeMadeYetGetsTheNamesWhenItCan) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG"));
    deleteIndexFiles(folder);
    {
        testing::ScopedPermissionBits asTheOwner;
        const ScopedMode readOnly(folder, withoutWrite(folder));
        ConsoleCapture console;
        ASSERT_FALSE(save("c.JPG"));
        EXPECT_EQ(refusal, "The photo library is not available now: its index " +
                               quotedPath(folder / "library.sqlite") +
                               " cannot be used (Permission denied)");
        EXPECT_TRUE(console.text().starts_with(replacedLine())) << console.text();
    }
    dispatch.runFor(std::chrono::seconds(5));
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG ");
    ASSERT_TRUE(save("c.JPG"));
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG ");
}

// How sync and backup tools restore a file: an older copy renamed over it. Its rows stay, the
// rows it lacks come from the index the library had open.
TEST_F(PhotoLibraryIndexOnDiskTest, AnOlderCopyRenamedOverTheIndexGetsTheRowsItLacks) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG"));
    const fs::path backup = root / "library-backup.sqlite";
    alterIndex(folder, ("VACUUM INTO '" + backup.string() + "'").c_str());
    ASSERT_TRUE(save("c.JPG"));
    fs::rename(backup, folder / "library.sqlite");
    ConsoleCapture console;
    ASSERT_TRUE(save("d.JPG"));
    EXPECT_EQ(console.text(), replacedLine());
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG d.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG d.JPG ");
    EXPECT_TRUE(setAsideFiles(folder).empty());
    // A thumbnail not carried over is made again when asked for.
    EXPECT_FALSE(library().thumbnailJpeg(*library().fetchAssets().object(1)).empty());
}

// The whole folder deleted: the next save makes it, with a new index, again. A folder put back
// from a copy (its pictures and an older index) has its pictures keep their names.
TEST_F(PhotoLibraryIndexOnDiskTest, AFolderDeletedOrPutBackIsFollowedAtTheNextSave) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG"));
    const fs::path copy = root / "Photos-copy";
    fs::copy(folder, copy, fs::copy_options::recursive);
    ASSERT_TRUE(save("c.JPG"));

    fs::remove_all(folder);
    ConsoleCapture console;
    ASSERT_TRUE(save("d.JPG"));
    EXPECT_EQ(console.text(), replacedLine());
    EXPECT_EQ(namesOnDisk(), "d.JPG ");
    EXPECT_EQ(fetchedNames(), "d.JPG ");

    fs::remove_all(folder);
    fs::rename(copy, folder);
    ASSERT_TRUE(save("e.JPG"));
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG e.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG e.JPG ");
}

// Deleted after the last save: the library's end (the app's quit closes it) makes it again with
// the names it knew, so the next start keeps them.
TEST_F(PhotoLibraryIndexOnDiskTest, AnIndexDeletedAfterTheLastSaveIsMadeAgainWhenTheLibraryEnds) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG") && save("c.JPG"));
    deleteIndexFiles(folder);
    ConsoleCapture console;
    library().close();
    EXPECT_EQ(console.text(), replacedLine());
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG ");
    reopen();
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG ");
    EXPECT_EQ(console.text(), replacedLine());
}

// The whole folder deleted before the end: nothing is made again for pictures that are gone.
TEST_F(PhotoLibraryIndexOnDiskTest, AFolderDeletedBeforeTheEndIsNotMadeAgain) {
    ASSERT_TRUE(save("a.JPG"));
    fs::remove_all(folder);
    ConsoleCapture console;
    library().close();
    EXPECT_EQ(console.text(), "");
    EXPECT_FALSE(fs::exists(folder));
}

// Deleted while a save was under way, between its copy and its row: the save is reported once
// its row, and the rows the old index held, are in the index at the path; where none can be
// made there, it fails and leaves neither copy nor row.
TEST_F(PhotoLibraryIndexOnDiskTest, AnIndexDeletedDuringASaveHasItsRowsBeforeTheSaveIsReported) {
    ASSERT_TRUE(save("a.JPG") && save("b.JPG"));
    bool deleted = false;
    bool thenReadOnly = false;
    std::optional<ScopedMode> readOnly;
    const ScopedWriteSteps deleting([&](WriteStep step, const fs::path&) {
        if (step == WriteStep::written && !deleted) {
            deleted = true;
            deleteIndexFiles(folder);
            if (thenReadOnly) {
                readOnly.emplace(folder, withoutWrite(folder));
            }
        }
    });
    ConsoleCapture console;
    ASSERT_TRUE(save("c.JPG")) << refusal;
    EXPECT_EQ(console.text(), replacedLine());
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG ");
    EXPECT_FALSE(library().thumbnailJpeg(*library().fetchAssets().object(0)).empty());

    deleted = false;
    thenReadOnly = true;
    {
        testing::ScopedPermissionBits asTheOwner;
        ASSERT_FALSE(save("d.JPG"));
        EXPECT_EQ(refusal, "The photo library is not available now: its index " +
                               quotedPath(folder / "library.sqlite") +
                               " cannot be used (Permission denied)");
        EXPECT_EQ(pictureFiles(folder).size(), 3U);
    }
    readOnly.reset();
    dispatch.runFor(std::chrono::seconds(5));
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG ");
}

// While a read-only index waits to be written, its timed look follows it too: deleted, the new
// one made at the path has the names.
TEST_F(PhotoLibraryIndexOnDiskTest, AReadOnlyIndexDeletedIsFollowedOnTheTimer) {
    ASSERT_TRUE(save("a.JPG"));
    library_.reset();
    fs::permissions(folder / "library.sqlite", withoutWrite(folder / "library.sqlite"));
    testing::ScopedPermissionBits asTheOwner;
    reopen();
    deleteIndexFiles(folder);
    ConsoleCapture console;
    dispatch.runFor(std::chrono::seconds(5));
    EXPECT_TRUE(console.text().starts_with(replacedLine())) << console.text();
    EXPECT_EQ(namesOnDisk(), "a.JPG ");
    ASSERT_TRUE(save("b.JPG")) << refusal;
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG ");
}

// An index that could not be written at the start (its file, or its folder, without write
// permission) is written again once it can be: looked at every 5 s on the library's clock, and
// at a save.
TEST_F(PhotoLibraryIndexOnDiskTest, AnIndexThatCouldNotBeWrittenIsWrittenAgainOnceItCanBe) {
    ASSERT_TRUE(save("a.JPG"));
    const std::string index = quotedPath(folder / "library.sqlite");
    struct Case {
        fs::path readOnly;
        std::string why;
        bool onTheTimer; // else at the save
    };
    for (const Case& c : {Case{folder / "library.sqlite", "its file cannot be written", true},
                          Case{folder, "its folder cannot be written", false}}) {
        library_.reset();
        testing::ScopedPermissionBits asTheOwner;
        std::optional<ScopedMode> readOnly(std::in_place, c.readOnly, withoutWrite(c.readOnly));
        ConsoleCapture console;
        reopen();
        ASSERT_FALSE(save("refused.JPG"));
        dispatch.runFor(std::chrono::seconds(12)); // still read-only: looked at, nothing said
        EXPECT_EQ(console.text(), "The photo library's index " + index + " is read-only (" + c.why +
                                      "); the library shows its pictures but cannot add any\n");
        readOnly.reset();
        const std::string writable =
            "The photo library's index " + index +
            " can be written again; the library adds new pictures to it again\n";
        if (c.onTheTimer) {
            dispatch.runFor(std::chrono::seconds(5));
            EXPECT_TRUE(console.text().ends_with(writable)) << console.text();
        }
        ASSERT_TRUE(save(c.onTheTimer ? "b.JPG" : "c.JPG")) << refusal;
        EXPECT_TRUE(console.text().ends_with(writable)) << console.text();
    }
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG c.JPG ");
    EXPECT_EQ(fetchedNames(), "a.JPG b.JPG c.JPG ");
}

// The shared-memory file a reader made while the index could not be written has its mode
// (SQLite gives it the database's), and one of another user cannot be given the file's own:
// the index stays read-only without a line, until that file can be written.
TEST_F(PhotoLibraryIndexOnDiskTest, AJournalFileOfAnotherUserKeepsTheIndexReadOnlyUntilItChanges) {
    ASSERT_TRUE(save("a.JPG"));
    library_.reset();
    const fs::path shm = folder / "library.sqlite-shm";
    testing::ScopedPermissionBits asTheOwner;
    std::optional<ScopedMode> readOnly(std::in_place, folder / "library.sqlite",
                                       withoutWrite(folder / "library.sqlite"));
    reopen();
    ASSERT_EQ(fs::status(shm).permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_EQ(::chown(shm.c_str(), 65534, 65534), 0);
    readOnly.reset();
    ConsoleCapture console;
    dispatch.runFor(std::chrono::seconds(15));
    EXPECT_FALSE(save("refused.JPG"));
    EXPECT_EQ(console.text(), "");
    ASSERT_EQ(::chown(shm.c_str(), ::geteuid(), ::getegid()), 0);
    dispatch.runFor(std::chrono::seconds(5));
    EXPECT_EQ(console.text(), "The photo library's index " + quotedPath(folder / "library.sqlite") +
                                  " can be written again; the library adds new pictures to it "
                                  "again\n");
    ASSERT_TRUE(save("b.JPG")) << refusal;
    EXPECT_EQ(namesOnDisk(), "a.JPG b.JPG ");
}

// Whoever can write the library's folder may put a link, or another name of one of this user's
// files, at a journal file's name between the look at it and the change of its mode: the file
// it leads to keeps its mode.
TEST_F(PhotoLibraryIndexOnDiskTest, AJournalFileReplacedByALinkToAPrivateFileLeavesThatFileAlone) {
    ASSERT_TRUE(save("a.JPG"));
    library_.reset();
    const fs::path shm = folder / "library.sqlite-shm";
    for (const bool symbolic : {true, false}) {
        const fs::path secret = root / (symbolic ? "secret-a" : "secret-b");
        std::ofstream(secret) << "private";
        const fs::perms privateMode =
            symbolic ? fs::perms::owner_read | fs::perms::owner_write : fs::perms::owner_read;
        fs::permissions(secret, privateMode);
        fs::remove(shm);
        std::ofstream(shm).put('\0');
        fs::permissions(shm, withoutWrite(shm));
        const detail::ScopedJournalModeStep swap([&](const fs::path& journal) {
            if (journal == shm) {
                fs::remove(shm);
                symbolic ? fs::create_symlink(secret, shm) : fs::create_hard_link(secret, shm);
            }
        });
        testing::ScopedPermissionBits asTheOwner;
        reopen();
        EXPECT_EQ(fs::status(secret).permissions(), privateMode) << symbolic;
        library_.reset();
        fs::remove(shm);
    }
}

} // namespace
} // namespace qv::platform::test
