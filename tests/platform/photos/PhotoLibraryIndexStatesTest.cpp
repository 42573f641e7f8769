// An index the library may read but must not change (one of a newer version of the app, one
// whose state only a snapshot can see), and places where no index can be used until the
// user changes something: each says what is wrong once, and nothing is set aside.

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
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

TEST_F(PhotoLibraryIndexStatesTest, AnIndexOfANewerVersionIsReadButNeverChangedOrSetAside) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    // A later version added a column and counts its schema on.
    alterIndex(folder, "ALTER TABLE assets ADD COLUMN rating INTEGER; PRAGMA user_version = 2");
    const std::string why = "it was made by a newer version of this app: schema version 2, "
                            "this one knows 1";
    EXPECT_EQ(reopened(), "The photo library's index " + index + " is read-only (" + why +
                              "); the library shows its pictures but cannot add any\n");
    ASSERT_EQ(library().fetchAssets().count(), 1u);
    EXPECT_EQ(library().fetchAssets().firstObject()->originalFilename, "a.JPG");
    const fs::path b = writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"));
    EXPECT_EQ(create(b).error, "The photo library cannot take new pictures: its index " + index +
                                   " is read-only (" + why + ")");
    EXPECT_EQ(pictureFiles(folder).size(), 1u);
    library_.reset();
    EXPECT_TRUE(setAsideFiles(folder).empty());
    EXPECT_EQ(userVersion(folder), "2\n");
}

TEST_F(PhotoLibraryIndexStatesTest, ANewerIndexWhoseRowsThisVersionCannotReadShowsNone) {
    fs::create_directories(folder);
    // A view counting without end: read, it would never return.
    alterIndex(folder, "CREATE VIEW assets AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
                       "SELECT x + 1 FROM n) SELECT x AS id FROM n; PRAGMA user_version = 7;");
    EXPECT_EQ(reopened(), "The photo library's index " + index +
                              " is read-only (it was made by a newer version of this app: "
                              "schema version 7, this one knows 1, and its assets cannot be read "
                              "by this one); the library shows its pictures but cannot add any\n");
    EXPECT_EQ(library().fetchAssets().count(), 0u);
    library_.reset();
    EXPECT_TRUE(setAsideFiles(folder).empty());
    EXPECT_EQ(userVersion(folder), "7\n");
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
