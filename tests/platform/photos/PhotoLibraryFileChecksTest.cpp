// The library's index as another program reads it: sqlite3 finds each asset's row.

#include "ImagingTestSupport.hpp"
#include "PhotoTestSupport.hpp"

namespace qv::platform::test {
namespace {

TEST_F(PhotoLibraryTest, Sqlite3ReadsTheRowOfANewAssetWithItsDateAndFix) {
    const auto source =
        writeSource("QV_20240314_213005.DNG", makeDng(64, 48, "2024:03:14 21:30:05", true));
    ASSERT_TRUE(create(source).success);
    const Asset asset = *library().fetchAssets().firstObject();

    const auto run = imaging::test::runTool(
        "sqlite3", {"-readonly", (folder / "library.sqlite").string(),
                    "SELECT identifier, file, creation_date, size, kind, pixel_width, "
                    "pixel_height, latitude, longitude, altitude, original_name FROM assets"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, asset.localIdentifier + "|2024/03/" + asset.localIdentifier +
                              ".DNG|2024-03-14T21:30:05.000Z|" + std::to_string(asset.fileSize) +
                              "|dng|64|48|-33.9|18.4|-3.0|QV_20240314_213005.DNG\n");
    const auto version =
        imaging::test::runTool("sqlite3", {"-readonly", (folder / "library.sqlite").string(),
                                           "PRAGMA user_version; PRAGMA journal_mode"});
    EXPECT_EQ(version.output, "1\nwal\n");
}

} // namespace
} // namespace qv::platform::test
