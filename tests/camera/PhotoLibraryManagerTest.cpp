#include "camera/PhotoLibraryManager.hpp"

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"

#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace qv {
namespace {

namespace fs = std::filesystem;
namespace imaging = platform::imaging;
namespace key = platform::metadata;
using imaging::FileData;

// Results as the mergers hand them over: a DNG of a Bayer photo and the TIFF of a
// processed one, each with exposure time, Software, ImageDescription and a GPS fix.
FileData dngResult() {
    const auto bayer = imaging::test::makeBayer(64, 48, platform::pixelformat::bayer14RGGB, 7);
    auto dng = imaging::encodeDng(*bayer, imaging::test::resultMetadata());
    EXPECT_TRUE(dng) << dng.error();
    return dng ? *dng : FileData();
}

FileData tiffResult() {
    const auto photo = platform::makeSyntheticPhoto(
        {.width = 64, .height = 48, .pixelFormat = platform::pixelformat::bgra32});
    auto metadata = imaging::test::resultMetadata();
    metadata.erase(key::dngGroup);
    auto tiff = imaging::encodeTiff(*photo->pixelBuffer(), metadata);
    EXPECT_TRUE(tiff) << tiff.error();
    return tiff ? *tiff : FileData();
}

FileData readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    if (fs::exists(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class PhotoLibraryManagerTest : public ::testing::Test {
protected:
    PhotoLibraryManagerTest() {
        ::tzset();
        root = testing::freshTestFolder();
        folders = platform::AppFolders::under(root);
    }
    ~PhotoLibraryManagerTest() override {
        writer.reset();
        dispatch.runUntilIdle();
    }

    PhotoLibraryManager& make(const std::string& permissionScript = "photos=authorized") {
        permissions = std::make_unique<platform::Permissions>(
            root / "permissions.json", platform::PermissionOptions{permissionScript});
        library = std::make_unique<platform::PhotoLibrary>(folders.photosFolder(), *permissions,
                                                           libraryBusyWait);
        writer = std::make_unique<PhotoLibraryManager>(*defaults, *library, folders);
        dispatch.runUntilIdle();
        return *writer;
    }

    // Saves and waits for the outcome.
    SaveReport save(FileData data, SupportedImageFormat format, int index = 0,
                    std::optional<std::string> suffix = std::nullopt) {
        std::optional<SaveReport> report;
        writer->save(std::move(data), format, index, std::move(suffix),
                     [&](const SaveReport& r) { report = r; });
        dispatch.runUntilIdle();
        EXPECT_TRUE(report) << "the save reported nothing";
        return report.value_or(SaveReport{});
    }

    std::size_t assetCount() const { return library->fetchAssets().count(); }

    platform::VirtualDispatch dispatch; // 2024-01-01 00:00:00 UTC
    testing::EnvironmentOverride utc{"TZ", "UTC"};
    testing::EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    fs::path root;
    platform::AppFolders folders;
    std::chrono::milliseconds libraryBusyWait{3000};
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<platform::Permissions> permissions;
    std::unique_ptr<platform::PhotoLibrary> library;
    std::unique_ptr<PhotoLibraryManager> writer;
};

TEST_F(PhotoLibraryManagerTest, EachFormatIsStoredAsItsTableSays) {
    make();
    const FileData dng = dngResult();
    const FileData tiff = tiffResult();

    // RAW keeps the data as it is: a DNG as "DNG", a processed TIFF as "TIF".
    auto report = save(dng, SupportedImageFormat::RAW);
    EXPECT_EQ(report.outcome, SaveOutcome::saved) << report.error;
    EXPECT_EQ(report.file.extension(), ".DNG");
    EXPECT_EQ(readFile(report.file), dng);
    EXPECT_TRUE(imaging::developRaw(readFile(report.file), {.halfSize = true}));
    report = save(tiff, SupportedImageFormat::RAW);
    EXPECT_EQ(report.file.extension(), ".TIF");
    EXPECT_EQ(readFile(report.file), tiff);
    report = save(tiff, SupportedImageFormat::TIFF);
    EXPECT_EQ(report.file.extension(), ".TIF");
    EXPECT_EQ(readFile(report.file), tiff);

    // Developed or decoded, re-encoded, and the result's tags carried over.
    struct Converted {
        FileData source;
        SupportedImageFormat format;
        const char* extension;
        int bits;
        platform::ColorSpace space;
    };
    for (const Converted& c : {
             Converted{dng, SupportedImageFormat::JPEG, ".JPG", 8, platform::ColorSpace::displayP3},
             Converted{tiff, SupportedImageFormat::JPEG, ".JPG", 8, platform::ColorSpace::sRGB},
             Converted{dng, SupportedImageFormat::TIFF, ".TIF", 16, platform::ColorSpace::sRGB},
         }) {
        report = save(c.source, c.format);
        ASSERT_EQ(report.outcome, SaveOutcome::saved) << report.error;
        EXPECT_EQ(report.file.extension(), c.extension);
        const FileData file = readFile(report.file);
        const auto image = c.format == SupportedImageFormat::JPEG ? imaging::decodeJpeg(file)
                                                                  : imaging::decodeTiff(file);
        ASSERT_TRUE(image) << image.error();
        EXPECT_EQ(image->bitsPerChannel(), c.bits);
        EXPECT_EQ(image->colorSpace, c.space);
        EXPECT_EQ(image->width(), 64u);
        const auto tags = imaging::readMetadata(file);
        ASSERT_TRUE(tags) << tags.error();
        const auto* exif = tags->dictionary(key::exifGroup);
        const auto* tiffTags = tags->dictionary(key::tiffGroup);
        const auto* gps = tags->dictionary(key::gpsGroup);
        ASSERT_TRUE(exif && tiffTags && gps);
        EXPECT_DOUBLE_EQ(*exif->find(key::exifExposureTime)->number(), 0.008);
        EXPECT_TRUE(tiffTags->find(key::tiffSoftware));
        EXPECT_TRUE(tiffTags->find(key::tiffImageDescription));
        EXPECT_TRUE(gps->find(key::gpsLatitude));
        EXPECT_FALSE(tags->dictionary(key::dngGroup)); // the DNG's own tags stay behind
    }
    EXPECT_EQ(assetCount(), 6u);
}

TEST_F(PhotoLibraryManagerTest, NamesTellSuffixOrIndexAndNeverReplaceAFile) {
    make();
    const FileData dng = dngResult();
    EXPECT_EQ(save(dng, SupportedImageFormat::RAW, 0).file.filename(), "QV_20240101_000000.DNG");
    EXPECT_EQ(save(dng, SupportedImageFormat::RAW, 2).file.filename(), "QV_20240101_000000_2.DNG");
    EXPECT_EQ(save(dng, SupportedImageFormat::RAW, 1, "_FA").file.filename(),
              "QV_20240101_000000_FA.DNG");
    // The same name within the same second: the earlier file stays as it was.
    const FileData other = tiffResult();
    const auto second = save(other, SupportedImageFormat::TIFF, 0).file;
    EXPECT_EQ(second.filename(), "QV_20240101_000000.TIF");
    FileData changed = dng;
    changed.back() ^= 0xff; // same size, other bytes
    EXPECT_EQ(save(changed, SupportedImageFormat::RAW, 0).file.filename(),
              "QV_20240101_000000-2.DNG");
    EXPECT_EQ(save(changed, SupportedImageFormat::RAW, 0).file.filename(),
              "QV_20240101_000000-3.DNG");
    EXPECT_EQ(readFile(root / "Documents/QV_20240101_000000.DNG"), dng);
    dispatch.runFor(platform::Seconds(1));
    EXPECT_EQ(save(dng, SupportedImageFormat::RAW, 0).file.filename(), "QV_20240101_000001.DNG");
    EXPECT_EQ(assetCount(), 7u);
}

TEST_F(PhotoLibraryManagerTest, CloudStorageWritesIntoTheContainerWhenThereIsOne) {
    make();
    writer->isEnableCloudStorage = true;
    EXPECT_EQ(save(dngResult(), SupportedImageFormat::RAW).file.parent_path(),
              root / "Documents"); // no container: the local folder
    folders.cloudContainer = root / "Cloud";
    make();
    EXPECT_TRUE(writer->isEnableCloudStorage.get()); // kept under "cloudStorage"
    EXPECT_EQ(save(dngResult(), SupportedImageFormat::RAW, 2).file.parent_path(),
              root / "Cloud/Documents");
    writer->isEnableCloudStorage = false;
    EXPECT_EQ(save(dngResult(), SupportedImageFormat::RAW, 1).file.parent_path(),
              root / "Documents");
}

// The lines of `text` that hold `part`.
std::vector<std::string> linesWith(const std::string& text, const std::string& part) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find(part) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

// "Backup to iCloud" on, and the cloud folder cannot take the picture: the container is a
// file, its Documents folder cannot be made, or the write fails there. The picture goes to
// the local Documents folder and into the library as any other, and one line says where it
// went and why.
TEST_F(PhotoLibraryManagerTest, APictureTheCloudFolderCannotTakeGoesToDocumentsAndTheLibrary) {
    std::ofstream(root / "a-file") << "a file, not a folder";
    fs::create_directories(root / "locked");
    fs::create_directories(root / "ReadOnlyCloud/Documents");
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    fs::permissions(root / "locked", readOnly);
    fs::permissions(root / "ReadOnlyCloud/Documents", readOnly);
    const testing::ScopedPermissionBits asTheOwner; // the writer runs on this thread
    struct Case {
        fs::path container;
        std::string reason;
    };
    const FileData dng = dngResult();
    int index = 0;
    for (const Case& c : {
             Case{root / "a-file", "cannot be made (Not a directory)"},
             Case{root / "locked/Cloud", "cannot be made (Permission denied)"},
             Case{root / "ReadOnlyCloud", "cannot be written (Permission denied)"},
         }) {
        folders.cloudContainer = c.container;
        make();
        writer->isEnableCloudStorage = true;
        const platform::ConsoleCapture console;
        const auto report = save(dng, SupportedImageFormat::RAW, ++index);
        EXPECT_EQ(report.outcome, SaveOutcome::saved) << c.container << ": " << report.error;
        EXPECT_EQ(report.file.parent_path(), root / "Documents") << c.container;
        EXPECT_EQ(readFile(report.file), dng) << c.container;
        const auto lines = linesWith(console.text(), "cloud folder");
        ASSERT_EQ(lines.size(), 1u) << console.text();
        EXPECT_NE(lines.front().find(report.file.string()), std::string::npos) << lines.front();
        EXPECT_NE(lines.front().find((c.container / "Documents").string() + "' " + c.reason),
                  std::string::npos)
            << lines.front();
        EXPECT_EQ(linesWith(console.text(), "could not write image").size(), 0u) << console.text();
    }
    EXPECT_EQ(assetCount(), 3u);
    EXPECT_EQ(filesIn(root / "ReadOnlyCloud/Documents"), std::vector<std::string>{});
}

// Only when no folder at all can take the picture is it lost, and the report says so.
TEST_F(PhotoLibraryManagerTest, APictureNoFolderCanTakeIsNotWrittenAndEachFolderSaysWhy) {
    std::ofstream(root / "a-file") << "a file, not a folder";
    folders.cloudContainer = root / "a-file";
    folders.documents = root / "a-file/Local";
    make();
    writer->isEnableCloudStorage = true;
    const platform::ConsoleCapture console;
    const auto report = save(dngResult(), SupportedImageFormat::RAW);
    EXPECT_EQ(report.outcome, SaveOutcome::notWritten);
    EXPECT_TRUE(report.file.empty());
    EXPECT_EQ(assetCount(), 0u);
    for (const char* folder : {"Documents", "Local"}) {
        EXPECT_EQ(linesWith(console.text(), "could not write image to file://" + root.string() +
                                                "/a-file/" + folder + "/QV_20240101_000000.DNG")
                      .size(),
                  1u)
            << console.text();
    }
}

// A Documents folder that cannot be made says why it cannot, not that the file's folder is
// missing.
TEST_F(PhotoLibraryManagerTest, ADocumentsFolderThatCannotBeMadeSaysWhy) {
    fs::create_directories(root / "locked");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    folders.documents = root / "locked/Documents";
    make();
    const testing::ScopedPermissionBits asTheOwner; // the writer runs on this thread
    const platform::ConsoleCapture console;
    const auto report = save(dngResult(), SupportedImageFormat::RAW);
    EXPECT_EQ(report.outcome, SaveOutcome::notWritten);
    EXPECT_EQ(report.error, "Permission denied");
    EXPECT_EQ(linesWith(console.text(), "No such file").size(), 0u) << console.text();
    EXPECT_EQ(assetCount(), 0u);
}

TEST_F(PhotoLibraryManagerTest, AFullDiskLeavesNoFileTemporaryFileOrAsset) {
    make();
    platform::ScopedDiskFull full;
    const auto report = save(dngResult(), SupportedImageFormat::JPEG);
    EXPECT_EQ(report.outcome, SaveOutcome::diskFull);
    EXPECT_TRUE(report.file.empty());
    EXPECT_EQ(filesIn(root / "Documents"), std::vector<std::string>{});
    EXPECT_EQ(assetCount(), 0u);
}

TEST_F(PhotoLibraryManagerTest, ALibraryThatRefusesKeepsTheDocumentsFile) {
    make();
    {
        platform::ScopedPhotoLibraryFaults failing({.failChanges = true});
        const auto report = save(dngResult(), SupportedImageFormat::RAW);
        EXPECT_EQ(report.outcome, SaveOutcome::savedToFolderOnly);
        EXPECT_TRUE(fs::exists(report.file));
    }
    make("photos=denied");
    const auto report = save(tiffResult(), SupportedImageFormat::TIFF);
    EXPECT_EQ(report.outcome, SaveOutcome::savedToFolderOnly);
    EXPECT_TRUE(fs::exists(report.file));
    make();
    EXPECT_EQ(assetCount(), 0u);
}

TEST_F(PhotoLibraryManagerTest, ABusyLibraryKeepsTheDocumentsFileAndTheNextSaveTriesAgain) {
    libraryBusyWait = std::chrono::milliseconds(50);
    make();
    {
        // Another program (a second app, sqlite3) writing to the library's index.
        platform::test::HeldIndex held(folders.photos);
        const auto report = save(dngResult(), SupportedImageFormat::RAW);
        EXPECT_EQ(report.outcome, SaveOutcome::savedToFolderOnly);
        EXPECT_NE(report.error.find("not available now"), std::string::npos) << report.error;
        EXPECT_EQ(readFile(report.file), dngResult());
    }
    const auto report = save(dngResult(), SupportedImageFormat::RAW, 2);
    EXPECT_EQ(report.outcome, SaveOutcome::saved) << report.error;
    EXPECT_EQ(assetCount(), 1u);
    EXPECT_EQ(filesIn(root / "Documents").size(), 2u);
}

TEST_F(PhotoLibraryManagerTest, AtTheStartOnlyTemporaryFilesOfSavesThatDiedAreRemoved) {
    folders.cloudContainer = root / "Cloud";
    const auto temporary = [](const fs::path& folder, const std::string& name, pid_t pid,
                              std::chrono::hours age = std::chrono::hours(0)) {
        fs::create_directories(folder);
        const fs::path file = folder / (name + ".tmp-" + std::to_string(pid) + "-0");
        std::ofstream(file) << "part of a picture";
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(2) - age);
        return file;
    };
    const pid_t gone = testing::goneProcessId();
    const fs::path killed = temporary(root / "Documents", "QV_20240101_000000.TIF", gone);
    // Another machine may be writing into the cloud folder: its pids mean nothing there, so
    // only a day's age removes a file.
    const fs::path writingInCloud =
        temporary(root / "Cloud/Documents", "QV_20240101_000001.DNG", gone);
    const fs::path killedInCloud =
        temporary(root / "Cloud/Documents", "QV_20240101_000003.DNG", gone, std::chrono::hours(24));
    const fs::path writing = temporary(root / "Documents", "QV_20240101_000002.JPG", ::getpid());
    const fs::path saved = root / "Documents/QV_20231231_235959.TIF";
    std::ofstream(saved) << "a picture";
    make();
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_FALSE(fs::exists(killedInCloud));
    EXPECT_TRUE(fs::exists(writingInCloud));
    EXPECT_TRUE(fs::exists(writing)); // its writer lives
    EXPECT_TRUE(fs::exists(saved));
}

TEST_F(PhotoLibraryManagerTest, NothingToSaveDoesNothing) {
    make();
    bool reported = false;
    writer->save(std::nullopt, SupportedImageFormat::RAW, 0, std::nullopt,
                 [&](const SaveReport&) { reported = true; });
    dispatch.runUntilIdle();
    EXPECT_FALSE(reported);
    EXPECT_FALSE(fs::exists(root / "Documents") && !fs::is_empty(root / "Documents"));
    // Data that is neither a DNG nor a TIFF: reported, nothing written.
    const auto report = save(FileData{1, 2, 3}, SupportedImageFormat::JPEG);
    EXPECT_EQ(report.outcome, SaveOutcome::notConverted);
    EXPECT_EQ(filesIn(root / "Documents"), std::vector<std::string>{});
}

TEST_F(PhotoLibraryManagerTest, FetchAllPhotosPublishesTheLibraryNewestFirst) {
    make();
    EXPECT_FALSE(writer->allPhotos.get());
    save(dngResult(), SupportedImageFormat::RAW);
    writer->fetchAllPhotos();
    ASSERT_TRUE(writer->allPhotos.get());
    EXPECT_EQ(writer->allPhotos.get()->count(), 1u);
}

} // namespace
} // namespace qv
