#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"

#include <fstream>
#include <sqlite3.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

std::string utcText(WallTime date) {
    return DateFormatter("yyyy-MM-dd HH:mm:ss", DateFormatter::Zone::utc).format(date);
}

struct RecordingObserver : PhotoLibraryChangeObserver {
    std::vector<PhotoLibraryChange> changes;
    bool offMain = true;
    void photoLibraryDidChange(const PhotoLibraryChange& change) override {
        offMain = offMain && !isMainThread();
        changes.push_back(change);
    }
};

TEST_F(PhotoLibraryTest, ADngBecomesAnAssetWithItsDateAndFixAndAnExactCopy) {
    const fs::path source =
        writeSource("QV_20240314_213005.DNG", makeDng(64, 48, "2024:03:14 21:30:05", true));
    const CreateResult result = create(source);
    ASSERT_TRUE(result.success) << result.error.value_or("");
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.onLibraryQueue);

    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u);
    const Asset asset = *all.firstObject();
    EXPECT_EQ(utcText(asset.creationDate), "2024-03-14 21:30:05");
    ASSERT_TRUE(asset.location);
    EXPECT_NEAR(asset.location->coordinate.latitude, -33.9, 1e-9);
    EXPECT_NEAR(asset.location->coordinate.longitude, 18.4, 1e-9);
    EXPECT_NEAR(asset.location->altitude, -3, 1e-9);
    EXPECT_EQ(asset.originalFilename, "QV_20240314_213005.DNG");
    EXPECT_EQ(asset.pixelWidth, 64);
    EXPECT_EQ(asset.pixelHeight, 48);
    EXPECT_EQ(asset.file, folder / "2024" / "03" / (asset.localIdentifier + ".DNG"));
    EXPECT_EQ(readBytes(asset.file), readBytes(source));
    EXPECT_EQ(asset.fileSize, fs::file_size(source));
    EXPECT_TRUE(fs::exists(source));
}

TEST_F(PhotoLibraryTest, TheSameFileTwiceIsTwoAssetsAndFetchesAreNewestFirst) {
    const fs::path january = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    const fs::path march = writeSource("b.DNG", makeDng(64, 48, "2024:03:14 21:30:05", false));
    ASSERT_TRUE(create(january).success);
    ASSERT_TRUE(create(march).success);
    ASSERT_TRUE(create(january).success);

    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 3u);
    EXPECT_EQ(all.object(0)->originalFilename, "b.DNG");
    EXPECT_EQ(all.object(1)->originalFilename, "a.JPG"); // the later of two equal dates first
    EXPECT_EQ(all.object(2)->originalFilename, "a.JPG");
    EXPECT_NE(all.object(1)->localIdentifier, all.object(2)->localIdentifier);
    EXPECT_NE(all.object(1)->file, all.object(2)->file);
    EXPECT_FALSE(all.object(3));

    // A file without DateTimeOriginal takes the moment it was added (the virtual clock's
    // 2024-01-01 00:00:00, the oldest of them).
    ASSERT_TRUE(create(writeSource("c.DNG", makeDng(64, 48, "", false))).success);
    const FetchResult four = library().fetchAssets();
    EXPECT_EQ(four.object(3)->originalFilename, "c.DNG");
    EXPECT_EQ(four.object(3)->creationDate, wallNow());
}

TEST_F(PhotoLibraryTest, ObserversHearOnceOnTheLibraryQueueWithTheNewAssetFirst) {
    ASSERT_TRUE(create(writeSource("old.JPG", makeJpeg(40, 30, "2020:01:01 00:00:00"))).success);
    const FetchResult before = library().fetchAssets();
    auto observer = std::make_shared<RecordingObserver>();
    library().registerChangeObserver(observer);
    library().registerChangeObserver(observer); // held once

    ASSERT_TRUE(create(writeSource("new.JPG", makeJpeg(40, 30, "2024:01:01 00:00:00"))).success);
    ASSERT_EQ(observer->changes.size(), 1u);
    EXPECT_TRUE(observer->offMain);
    const auto details = observer->changes[0].changeDetails(before);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->insertedIndexes, std::vector<std::size_t>{0});
    EXPECT_TRUE(details->removedIndexes.empty());
    EXPECT_EQ(details->fetchResultAfterChanges.count(), 2u);
    EXPECT_EQ(details->fetchResultAfterChanges.firstObject()->originalFilename, "new.JPG");
    // A result that already holds every asset is untouched by the change.
    EXPECT_FALSE(observer->changes[0].changeDetails(details->fetchResultAfterChanges));

    library().unregisterChangeObserver(observer.get());
    ASSERT_TRUE(create(writeSource("third.JPG", makeJpeg(40, 30, "2024:01:02 00:00:00"))).success);
    EXPECT_EQ(observer->changes.size(), 1u);
    auto gone = std::make_shared<RecordingObserver>();
    library().registerChangeObserver(gone);
    gone.reset(); // held weakly: a change after it is gone calls nothing
    ASSERT_TRUE(create(writeSource("fourth.JPG", makeJpeg(40, 30, "2024:01:03 00:00:00"))).success);
}

TEST_F(PhotoLibraryTest, AFailedCopyLeavesNeitherFileNorRow) {
    const fs::path source = writeSource("a.DNG", makeDng(64, 48, "2024:03:14 21:30:05", false));
    library();
    fs::create_directories(folder);
    std::ofstream(folder / "2024") << "a file where the year's folder would go";
    CreateResult result = create(source);
    EXPECT_FALSE(result.success);
    EXPECT_NE(result.error.value_or("").find("Cannot copy " + quotedPath(source)),
              std::string::npos);
    {
        ScopedDiskFull full;
        fs::remove(folder / "2024");
        result = create(source);
        EXPECT_FALSE(result.success);
        EXPECT_NE(result.error.value_or("").find("No space left on device"), std::string::npos);
    }
    EXPECT_EQ(library().fetchAssets().count(), 0u);
    EXPECT_TRUE(pictureFiles(folder).empty());
    reopen(); // and nothing to adopt at the next start either
    EXPECT_EQ(library().fetchAssets().count(), 0u);
}

// A month folder that cannot be made (the library's folder without write permission, the index
// opened for writing before): the save gives the cause of making it and names it, not the
// missing folder's "No such file or directory" of the copy into it.
TEST_F(PhotoLibraryTest, AMonthFolderThatCannotBeMadeGivesTheCauseAndNamesTheFolder) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    const fs::path source = writeSource("b.JPG", makeJpeg(40, 30, "2025:02:01 10:00:00"));
    {
        const ScopedMode readOnly(folder, withoutWrite(folder));
        testing::ScopedPermissionBits asTheOwner;
        EXPECT_EQ(create(source).error,
                  "Cannot copy " + quotedPath(source) +
                      " into the photo library: could not create the folder " +
                      quotedPath(folder / "2025" / "02") + " (Permission denied)");
    }
    EXPECT_EQ(pictureFiles(folder).size(), 1u);
    EXPECT_TRUE(create(source).success);
    EXPECT_EQ(library().fetchAssets().count(), 2u);
}

TEST_F(PhotoLibraryTest, WithoutAccessFetchesAreEmptyAndChangesFail) {
    const fs::path source = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    library("photos=denied");
    const CreateResult denied = create(source);
    EXPECT_FALSE(denied.success);
    EXPECT_EQ(denied.error, "Access to the photo library was not granted");
    EXPECT_EQ(library().fetchAssets().count(), 0u);
    EXPECT_EQ(library().authorizationStatus(), PermissionStatus::denied);
    EXPECT_TRUE(pictureFiles(folder).empty());
}

TEST_F(PhotoLibraryTest, TheAccessSwitchDeniesAGrantedLibraryForAWhile) {
    const fs::path source = writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"));
    ASSERT_TRUE(create(source).success);
    {
        ScopedPhotoLibraryFaults denied({.accessDenied = true});
        EXPECT_EQ(library().authorizationStatus(), PermissionStatus::denied);
        EXPECT_EQ(library().fetchAssets().count(), 0u);
        EXPECT_EQ(create(source).error, "Access to the photo library was not granted");
    }
    EXPECT_EQ(library().fetchAssets().count(), 1u);
}

TEST_F(PhotoLibraryTest, TheFaultSwitchFailsAChangeAndSomethingElseFailsWithItsReason) {
    library("photos=limited");
    {
        ScopedPhotoLibraryFaults faults({.failChanges = true});
        const CreateResult failed =
            create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00")));
        EXPECT_EQ(failed.error, "The photo library refused the change");
    }
    const CreateResult missing = create(root / "missing.JPG");
    EXPECT_NE(missing.error.value_or("").find("Cannot read"), std::string::npos);
    const CreateResult notAPicture = create(writeSource("notes.txt", {'h', 'i'}));
    EXPECT_NE(notAPicture.error.value_or("").find("is no picture"), std::string::npos);
    EXPECT_TRUE(pictureFiles(folder).empty());
}

TEST_F(PhotoLibraryTest, ACorruptIndexIsSetAsideAndRebuiltFromTheFiles) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    ASSERT_TRUE(create(writeSource("b.DNG", makeDng(64, 48, "2024:03:14 21:30:05", true))).success);
    const FetchResult before = library().fetchAssets();
    library_.reset();
    for (const char* journal : {"library.sqlite-wal", "library.sqlite-shm"}) {
        fs::remove(folder / journal);
    }
    std::ofstream(folder / "library.sqlite", std::ios::trunc) << "this is no database";

    ConsoleCapture console;
    reopen();
    const FetchResult after = library().fetchAssets();
    ASSERT_EQ(after.count(), 2u);
    EXPECT_EQ(after.object(0)->localIdentifier, before.object(0)->localIdentifier);
    EXPECT_EQ(after.object(1)->localIdentifier, before.object(1)->localIdentifier);
    EXPECT_NEAR(after.object(0)->location->coordinate.latitude, -33.9, 1e-9);
    const std::string printed = console.text();
    EXPECT_NE(printed.find("The photo library's index " + quotedPath(folder / "library.sqlite") +
                           " is damaged"),
              std::string::npos);
    EXPECT_NE(printed.find("took in 2 files"), std::string::npos);
    bool setAside = false;
    for (const auto& entry : fs::directory_iterator(folder)) {
        setAside =
            setAside || entry.path().filename().string().starts_with("library.sqlite.corrupt_");
    }
    EXPECT_TRUE(setAside);
}

TEST_F(PhotoLibraryTest, AnIndexWhoseDefinitionsAreNotOursIsSetAsideSoChangesStillWork) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    // Intact pages, but every insert of ours would fail for good.
    alterIndex(folder, "ALTER TABLE assets RENAME COLUMN pixel_width TO width");
    ConsoleCapture console;
    reopen();
    EXPECT_NE(console.text().find("is damaged"), std::string::npos);
    EXPECT_EQ(library().fetchAssets().count(), 1u); // rebuilt from the file
    EXPECT_TRUE(create(writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))).success);
}

TEST_F(PhotoLibraryTest, ARowWhoseFileLiesOutsideTheLibraryIsDropped) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    alterIndex(folder, "UPDATE assets SET file = '../a.JPG'");
    reopen();
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u); // the library's own copy, taken in again
    EXPECT_EQ(all.firstObject()->file.parent_path().parent_path().parent_path(), folder);
}

TEST_F(PhotoLibraryTest, AnIndexWhoseTableIsAViewCountingWithoutEndIsSetAsideNotRead) {
    fs::create_directories(folder);
    alterIndex(folder, "CREATE VIEW assets AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
                       "SELECT x + 1 FROM n) SELECT x AS id FROM n; PRAGMA user_version = 1;");
    ConsoleCapture console;
    EXPECT_EQ(library().fetchAssets().count(), 0u);
    EXPECT_NE(console.text().find("is damaged"), std::string::npos) << console.text();
}

TEST_F(PhotoLibraryTest, ADateBeyondTheClockReadsAsNone) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    library_.reset();
    alterIndex(folder, "UPDATE assets SET creation_date = '9999-12-31T23:59:59.999Z'");
    reopen();
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u);
    EXPECT_EQ(all.firstObject()->creationDate, WallTime{});
}

TEST_F(PhotoLibraryTest, AFileLeftWithoutARowIsAdoptedAndALeftoverCopyRemoved) {
    library();
    const std::string identifier = "3F2504E0-4F89-41D3-9A0C-0305E82C3301";
    const fs::path month = folder / "2023" / "07";
    fs::create_directories(month);
    const imaging::FileData jpeg = makeJpeg(40, 30, "2023:07:04 12:00:00");
    std::ofstream(month / (identifier + ".JPG"), std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    // Half a copy of a process that is gone, written two minutes ago.
    const fs::path leftover =
        month / ("X.JPG.tmp-" + std::to_string(testing::goneProcessId()) + "-0");
    std::ofstream(leftover) << "half a copy";
    fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(2));

    ConsoleCapture console;
    reopen();
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 1u);
    EXPECT_EQ(all.firstObject()->localIdentifier, identifier);
    EXPECT_EQ(utcText(all.firstObject()->creationDate), "2023-07-04 12:00:00");
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(console.text(), "The photo library took in 1 file that had no entry in its index\n");

    // And a row whose file is gone goes.
    fs::remove(month / (identifier + ".JPG"));
    reopen();
    EXPECT_EQ(library().fetchAssets().count(), 0u);
}

} // namespace
} // namespace qv::platform::test
