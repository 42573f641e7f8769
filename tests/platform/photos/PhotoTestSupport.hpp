#pragma once
// Pictures and a library in a folder of their own, for the photo library's tests.

#include "StubPrograms.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace qv::platform::test {

// A DNG of `width` x `height` photosites with Exif DateTimeOriginal `date` ("" for none) and,
// when asked, a GPS fix 33.9° S, 18.4° E, 3 m below sea level.
imaging::FileData makeDng(std::size_t width, std::size_t height, const std::string& date,
                          bool withGps);
// A grey JPEG with Exif DateTimeOriginal `date`.
imaging::FileData makeJpeg(std::size_t width, std::size_t height, const std::string& date);

std::string readBytes(const std::filesystem::path& file);

// Every file under the library's folder but its index (and its journal and set-aside files, its
// users' records and its lock folder).
std::vector<std::filesystem::path> pictureFiles(const std::filesystem::path& folder);

// One number a query of the library's index in `folder` gives, read through a connection of its
// own (through SQLite's file layer `files`, when given: detail::lockFolderFiles() where there are
// no locks); -1 when none.
long long queryNumber(const std::filesystem::path& folder, const std::string& sql,
                      const char* files = nullptr);
// The rows of that index.
long long rowsIn(const std::filesystem::path& folder, const char* files = nullptr);
// Its journal mode, as sqlite3 reads it ("wal\n", "delete\n").
std::string journalMode(const std::filesystem::path& folder);

// Runs SQL on the library's index in `folder` while no library has it open.
void alterIndex(const std::filesystem::path& folder, const char* sql);

// A second connection to a library's index (as sqlite3 would be) holding its write lock
// (BEGIN IMMEDIATE), after running `sql` in that transaction; made when missing. Rolls back
// and closes at its end.
class HeldIndex {
public:
    explicit HeldIndex(const std::filesystem::path& folder, const std::string& sql = "");
    ~HeldIndex();
    HeldIndex(const HeldIndex&) = delete;
    HeldIndex& operator=(const HeldIndex&) = delete;

private:
    sqlite3* database_ = nullptr;
};

// Gives a file or folder the permissions `mode` for the test, and its own back at the end.
class ScopedMode {
public:
    ScopedMode(std::filesystem::path path, std::filesystem::perms mode);
    ~ScopedMode();
    ScopedMode(const ScopedMode&) = delete;
    ScopedMode& operator=(const ScopedMode&) = delete;

private:
    std::filesystem::path path_;
    std::filesystem::perms mode_;
};

// The permissions of `path` without its write bits.
std::filesystem::perms withoutWrite(const std::filesystem::path& path);

// The files set aside next to the index ("library.sqlite.corrupt_...").
std::vector<std::string> setAsideFiles(const std::filesystem::path& folder);

struct CreateResult {
    bool success = false;
    std::optional<std::string> error;
    bool onLibraryQueue = false;
};

// A test's own folder (under QV_HOME), permissions (photos granted unless told otherwise),
// local time in UTC, and a virtual clock; the library is made on demand.
class PhotoLibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    PhotoLibrary& library(const std::string& permissionScript = "photos=authorized");
    // A new library over the same folder, as at the next start (with other permissions).
    void reopen(std::optional<std::string> permissionScript = std::nullopt);
    std::filesystem::path writeSource(const std::string& name, const imaging::FileData& data);
    // JPEGs "a.JPG", "b.JPG"... (`count`, at most 26) taken a day apart from 1 January 2024.
    std::vector<std::filesystem::path> writeSources(int count);
    CreateResult create(const std::filesystem::path& file);

    VirtualDispatch dispatch;
    testing::EnvironmentOverride utc{"TZ", "UTC"};
    testing::EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    std::filesystem::path root;   // the test's folder
    std::filesystem::path folder; // the library's
    std::unique_ptr<Permissions> permissions;
    std::chrono::milliseconds busyWait{3000}; // for the libraries made from now on
    std::unique_ptr<PhotoLibrary> library_;
    std::string script_;
};

} // namespace qv::platform::test
