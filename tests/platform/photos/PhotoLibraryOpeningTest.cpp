// The library's opening on its own queue: nothing waits for it, its rows come in a change,
// files without a row are taken in from their tags (their pixels read only when their
// thumbnail is first asked for), a picture added meanwhile is kept, and an opening ended
// midway keeps what it added for the next one to go on from.

#include "PhotoTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/photos/detail/Uuid.hpp"

#include <fstream>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

long long thumbnailBytes(const fs::path& folder, const std::string& identifier) {
    return queryNumber(folder, "SELECT length(thumbnail) FROM assets WHERE identifier = '" +
                                   identifier + "'");
}

struct Recorder : PhotoLibraryChangeObserver {
    std::vector<std::size_t> counts;
    void photoLibraryDidChange(const PhotoLibraryChange& change) override {
        counts.push_back(change.changeDetails(FetchResult())
                             ? change.changeDetails(FetchResult())->fetchResultAfterChanges.count()
                             : 0);
    }
};

class PhotoLibraryOpeningTest : public PhotoLibraryTest {
protected:
    // Two lanes take files in: the queue's first block then finds three batches read (two
    // lanes' first and one's second), 96 rows, and the stopping point is the same on every
    // machine.
    testing::EnvironmentOverride twoLanes{"QV_THREADS", "2"};

    // `count` files without a row in Photos/2024/01: links of one JPEG, under UUID names.
    void looseFiles(int count) {
        const fs::path month = folder / "2024" / "01";
        fs::create_directories(month);
        const fs::path picture = writeSource("loose.JPG", makeJpeg(40, 30, "2024:01:05 20:00:00"));
        for (int i = 0; i < count; ++i) {
            fs::create_hard_link(picture, month / (detail::newUuid() + ".JPG"));
        }
    }

    // The library, made without running its queue.
    PhotoLibrary& unopened() {
        script_ = "photos=authorized";
        permissions =
            std::make_unique<Permissions>(root / "permissions.json", PermissionOptions{script_});
        library_ = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
        return *library_;
    }

    void removeIndex() {
        library_.reset();
        for (const char* name : {"library.sqlite", "library.sqlite-wal", "library.sqlite-shm"}) {
            fs::remove(folder / name);
        }
    }
};

TEST_F(PhotoLibraryOpeningTest, NothingWaitsForTheOpeningAndItsRowsComeInAChange) {
    for (const char* name : {"a.JPG", "b.JPG", "c.JPG"}) {
        ASSERT_TRUE(create(writeSource(name, makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
    }
    library_.reset();
    PhotoLibrary& photos = unopened();
    auto recorder = std::make_shared<Recorder>();
    photos.registerChangeObserver(recorder);
    EXPECT_EQ(photos.fetchAssets().count(), 0u); // at once: the queue has not run
    EXPECT_TRUE(recorder->counts.empty());
    dispatch.runUntilIdle();
    EXPECT_EQ(recorder->counts, std::vector<std::size_t>{3});
    EXPECT_EQ(photos.fetchAssets().count(), 3u);
}

// A JPEG held turned (Exif orientation 6) with a date and a fix.
imaging::FileData turnedJpeg() {
    RgbaImage image(48, 32, 8);
    for (std::size_t y = 0; y < image.height(); ++y) {
        std::fill(image.row8(y).begin(), image.row8(y).end(), std::uint8_t(90 + y));
    }
    MetadataDictionary tags;
    tags.dictionary(metadata::exifGroup).set(metadata::exifDateTimeOriginal, "2024:02:29 23:59:58");
    tags.dictionary(metadata::tiffGroup).set(metadata::tiffOrientation, std::int64_t{6});
    auto& gps = tags.dictionary(metadata::gpsGroup);
    gps.set(metadata::gpsLatitude, 47.5);
    gps.set(metadata::gpsLatitudeRef, "N");
    gps.set(metadata::gpsLongitude, 8.25);
    gps.set(metadata::gpsLongitudeRef, "W");
    auto jpeg = imaging::encodeJpeg(image, 90, tags);
    EXPECT_TRUE(jpeg) << jpeg.error();
    return jpeg ? *jpeg : imaging::FileData();
}

TEST_F(PhotoLibraryOpeningTest, FilesWithoutARowAreTakenInFromTheirTagsAlone) {
    ASSERT_TRUE(create(writeSource("a.DNG", makeDng(64, 48, "2024:03:14 21:30:05", true))).success);
    ASSERT_TRUE(create(writeSource("b.JPG", turnedJpeg())).success);
    const FetchResult added = library().fetchAssets();
    removeIndex(); // as after an index set aside

    ConsoleCapture console;
    reopen();
    EXPECT_EQ(console.text(), "The photo library took in 2 files that had no entry in its index\n");
    const FetchResult taken = library().fetchAssets();
    ASSERT_EQ(taken.count(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Asset& before = added.assets()[i];
        const Asset& after = taken.assets()[i];
        EXPECT_EQ(after.localIdentifier, before.localIdentifier);
        EXPECT_EQ(after.creationDate, before.creationDate);
        EXPECT_EQ(after.pixelWidth, before.pixelWidth);
        EXPECT_EQ(after.pixelHeight, before.pixelHeight);
        EXPECT_EQ(after.orientation, before.orientation);
        EXPECT_EQ(after.fileSize, before.fileSize);
        EXPECT_EQ(after.file, before.file);
        ASSERT_EQ(after.location.has_value(), before.location.has_value());
        if (after.location) {
            EXPECT_NEAR(after.location->coordinate.latitude, before.location->coordinate.latitude,
                        1e-9);
            EXPECT_NEAR(after.location->coordinate.longitude, before.location->coordinate.longitude,
                        1e-9);
        }
        EXPECT_EQ(after.originalFilename, after.file.filename().string());
        // No pixel was decoded: the thumbnail waits until it is asked for.
        EXPECT_EQ(thumbnailBytes(folder, after.localIdentifier), 0) << after.originalFilename;
    }
    EXPECT_EQ(taken.object(1)->orientation, ImageOrientation::right);
}

TEST_F(PhotoLibraryOpeningTest, AThumbnailIsMadeWhenFirstAskedForAndKept) {
    ASSERT_TRUE(
        create(writeSource("a.DNG", makeDng(64, 48, "2024:03:14 21:30:05", false))).success);
    removeIndex();
    reopen();
    const Asset asset = *library().fetchAssets().firstObject();
    ASSERT_EQ(thumbnailBytes(folder, asset.localIdentifier), 0);

    const std::vector<std::uint8_t> thumbnail = library().thumbnailJpeg(asset);
    const auto decoded = imaging::decodeJpeg(thumbnail);
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_EQ(decoded->width(), 32u); // the DNG developed at half size
    dispatch.runUntilIdle();
    EXPECT_EQ(thumbnailBytes(folder, asset.localIdentifier),
              static_cast<long long>(thumbnail.size()));
    EXPECT_EQ(library().thumbnailJpeg(asset), thumbnail); // now from the index
}

TEST_F(PhotoLibraryOpeningTest, AFileWhosePixelsCannotBeDecodedIsTakenInFromItsTags) {
    ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(640, 480, "2024:01:01 10:00:00"))).success);
    const Asset asset = *library().fetchAssets().firstObject();
    removeIndex();
    // The picture's data after its headers overwritten: its tags stand, its pixels do not.
    std::string bytes = readBytes(asset.file);
    std::fill(bytes.begin() + std::ptrdiff_t(bytes.size() / 2), bytes.end() - 2, '\xff');
    std::ofstream(asset.file, std::ios::binary | std::ios::trunc) << bytes;

    reopen();
    ASSERT_EQ(library().fetchAssets().count(), 1u);
    const Asset taken = *library().fetchAssets().firstObject();
    EXPECT_EQ(taken.creationDate, asset.creationDate);
    EXPECT_EQ(taken.pixelWidth, 640);
    EXPECT_TRUE(library().thumbnailJpeg(taken).empty()); // nothing to show, and nothing kept
}

TEST_F(PhotoLibraryOpeningTest, AnOpeningEndedMidwayKeepsItsRowsAndTheNextGoesOn) {
    looseFiles(100);
    ConsoleCapture console;
    unopened();
    while (rowsIn(folder) < 32 && dispatch.runOne()) {
    }
    const long long kept = rowsIn(folder);
    library_.reset(); // the app ends while files are being taken in
    EXPECT_GE(kept, 32) << kept;
    EXPECT_LT(kept, 100) << kept;
    EXPECT_EQ(rowsIn(folder), kept);
    EXPECT_EQ(console.text(), "");

    reopen();
    EXPECT_EQ(console.text(), "The photo library took in " + std::to_string(100 - kept) +
                                  " files that had no entry in its index\n");
    EXPECT_EQ(library().fetchAssets().count(), 100u);
}

TEST_F(PhotoLibraryOpeningTest, APictureAddedWhileFilesAreTakenInKeepsItsNameAndNothingIsLost) {
    looseFiles(100);
    unopened();
    while (rowsIn(folder) < 32 && dispatch.runOne()) {
    }
    ASSERT_LT(rowsIn(folder), 100);
    bool added = false;
    library().createAsset(
        writeSource("QV_20240301_220000.JPG", makeJpeg(40, 30, "2024:03:01 22:00:00")),
        [&](bool success, auto) { added = success; });
    dispatch.runUntilIdle();
    EXPECT_TRUE(added);
    const FetchResult all = library().fetchAssets();
    ASSERT_EQ(all.count(), 101u);
    EXPECT_EQ(all.firstObject()->originalFilename, "QV_20240301_220000.JPG");
    EXPECT_EQ(pictureFiles(folder).size(), 101u);
}

TEST_F(PhotoLibraryOpeningTest, AChangeAfterTheLibraryClosedFailsAndLeavesNothing) {
    library().close();
    CreateResult result = create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00")));
    EXPECT_EQ(result.error, "The photo library has ended");
    EXPECT_TRUE(pictureFiles(folder).empty());
}

} // namespace
} // namespace qv::platform::test
