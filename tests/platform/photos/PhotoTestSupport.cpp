#include "PhotoTestSupport.hpp"

#include "ImagingTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <ctime>
#include <fstream>
#include <iterator>
#include <sqlite3.h>

namespace qv::platform::test {

namespace key = metadata;

imaging::FileData makeDng(std::size_t width, std::size_t height, const std::string& date,
                          bool withGps) {
    MetadataDictionary metadata = imaging::test::resultMetadata();
    if (!withGps) {
        metadata.erase(key::gpsGroup);
    }
    if (!date.empty()) {
        metadata.dictionary(key::exifGroup).set(key::exifDateTimeOriginal, date);
    }
    const auto buffer = imaging::test::makeBayer(width, height, pixelformat::bayer14RGGB);
    auto dng = imaging::encodeDng(*buffer, metadata);
    EXPECT_TRUE(dng) << dng.error();
    return dng ? *dng : imaging::FileData();
}

imaging::FileData makeJpeg(std::size_t width, std::size_t height, const std::string& date) {
    RgbaImage image(width, height, 8);
    for (std::size_t y = 0; y < height; ++y) {
        std::fill(image.row8(y).begin(), image.row8(y).end(), std::uint8_t(128));
    }
    MetadataDictionary metadata;
    metadata.dictionary(key::exifGroup).set(key::exifDateTimeOriginal, date);
    auto jpeg = imaging::encodeJpeg(image, 90, metadata);
    EXPECT_TRUE(jpeg) << jpeg.error();
    return jpeg ? *jpeg : imaging::FileData();
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::filesystem::path> pictureFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(folder);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const bool ofTheIndex = it->path().filename().string().rfind("library.sqlite", 0) == 0;
        if (ofTheIndex && it->is_directory()) {
            it.disable_recursion_pending(); // its users' records, its lock folder
        } else if (it->is_regular_file() && !ofTheIndex) {
            files.push_back(it->path());
        }
    }
    return files;
}

long long queryNumber(const std::filesystem::path& folder, const std::string& sql,
                      const char* files) {
    sqlite3* database = nullptr;
    long long number = -1;
    if (sqlite3_open_v2((folder / "library.sqlite").c_str(), &database, SQLITE_OPEN_READONLY,
                        files) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(database, sql.c_str(), -1, &statement, nullptr);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            number = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(database);
    return number;
}

long long rowsIn(const std::filesystem::path& folder, const char* files) {
    return queryNumber(folder, "SELECT count(*) FROM assets", files);
}

std::string journalMode(const std::filesystem::path& folder) {
    return imaging::test::runTool("sqlite3",
                                  {(folder / "library.sqlite").string(), "PRAGMA journal_mode"})
        .output;
}

void alterIndex(const std::filesystem::path& folder, const char* sql) {
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "library.sqlite").c_str(), &database), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(database, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(database);
    sqlite3_close(database);
}

HeldIndex::HeldIndex(const std::filesystem::path& folder, const std::string& sql) {
    std::filesystem::create_directories(folder);
    EXPECT_EQ(sqlite3_open((folder / "library.sqlite").c_str(), &database_), SQLITE_OK);
    const std::string held = "BEGIN IMMEDIATE; " + sql;
    EXPECT_EQ(sqlite3_exec(database_, held.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(database_);
}

HeldIndex::~HeldIndex() {
    sqlite3_exec(database_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(database_);
}

ScopedMode::ScopedMode(std::filesystem::path path, std::filesystem::perms mode)
    : path_(std::move(path)), mode_(std::filesystem::status(path_).permissions()) {
    std::filesystem::permissions(path_, mode);
}

ScopedMode::~ScopedMode() {
    std::filesystem::permissions(path_, mode_);
}

std::filesystem::perms withoutWrite(const std::filesystem::path& path) {
    using std::filesystem::perms;
    return std::filesystem::status(path).permissions() &
           ~(perms::owner_write | perms::group_write | perms::others_write);
}

std::vector<std::string> setAsideFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".corrupt_") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

void PhotoLibraryTest::SetUp() {
    ::tzset();
    root = testing::freshTestFolder();
    folder = root / "Photos";
}

void PhotoLibraryTest::TearDown() {
    library_.reset();
    permissions.reset();
}

PhotoLibrary& PhotoLibraryTest::library(const std::string& permissionScript) {
    if (!library_) {
        script_ = permissionScript;
        permissions = std::make_unique<Permissions>(root / "permissions.json",
                                                    PermissionOptions{permissionScript});
        library_ = std::make_unique<PhotoLibrary>(folder, *permissions, busyWait);
        dispatch.runUntilIdle();
    }
    return *library_;
}

void PhotoLibraryTest::reopen(std::optional<std::string> permissionScript) {
    library_.reset();
    library(permissionScript.value_or(script_));
}

std::filesystem::path PhotoLibraryTest::writeSource(const std::string& name,
                                                    const imaging::FileData& data) {
    const std::filesystem::path file = root / name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return file;
}

std::vector<std::filesystem::path> PhotoLibraryTest::writeSources(int count) {
    std::vector<std::filesystem::path> sources;
    for (int i = 0; i < count; ++i) {
        const std::string day = std::to_string(101 + i).substr(1); // "01", "02"...
        sources.push_back(writeSource(std::string(1, char('a' + i)) + ".JPG",
                                      makeJpeg(40, 30, "2024:01:" + day + " 10:00:00")));
    }
    return sources;
}

CreateResult PhotoLibraryTest::create(const std::filesystem::path& file) {
    CreateResult result;
    bool called = false;
    library().createAsset(file, [&](bool success, std::optional<std::string> error) {
        called = true;
        result.success = success;
        result.error = std::move(error);
        result.onLibraryQueue = !isMainThread();
    });
    dispatch.runUntilIdle();
    EXPECT_TRUE(called);
    return result;
}

} // namespace qv::platform::test
