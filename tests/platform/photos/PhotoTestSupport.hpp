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

namespace qv::platform::test {

// A DNG of `width` x `height` photosites with Exif DateTimeOriginal `date` ("" for none) and,
// when asked, a GPS fix 33.9° S, 18.4° E, 3 m below sea level.
imaging::FileData makeDng(std::size_t width, std::size_t height, const std::string& date,
                          bool withGps);
// A grey JPEG with Exif DateTimeOriginal `date`.
imaging::FileData makeJpeg(std::size_t width, std::size_t height, const std::string& date);

std::string readBytes(const std::filesystem::path& file);

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
    CreateResult create(const std::filesystem::path& file);

    VirtualDispatch dispatch;
    testing::EnvironmentOverride utc{"TZ", "UTC"};
    testing::EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    std::filesystem::path root;   // the test's folder
    std::filesystem::path folder; // the library's
    std::unique_ptr<Permissions> permissions;
    std::unique_ptr<PhotoLibrary> library_;
    std::string script_;
};

} // namespace qv::platform::test
