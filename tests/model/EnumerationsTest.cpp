#include "model/Enumerations.hpp"

#include "model/ActiveOverlayViews.hpp"

#include <gtest/gtest.h>

using namespace qv;

TEST(Enumerations, RawValuesThatNameNoCaseGiveNothing) {
    EXPECT_EQ(sequenceModeFromRawValue(3), SequenceMode::nightMode);
    EXPECT_EQ(sequenceModeFromRawValue(0), SequenceMode::frameAveraging);
    EXPECT_EQ(sequenceModeFromRawValue(4), std::nullopt);
    EXPECT_EQ(sequenceModeFromRawValue(-1), std::nullopt);

    EXPECT_EQ(supportedImageFormatFromRawValue("JPEG"), SupportedImageFormat::JPEG);
    for (const char* text : {"raw", "TIF", "JPG", "", "JPEG ", "RAW\n"}) {
        EXPECT_EQ(supportedImageFormatFromRawValue(text), std::nullopt) << text;
    }

    EXPECT_EQ(delayFromRawValue(10), Delay::ten);
    for (const std::int64_t raw : {1, 3, 60, -2}) {
        EXPECT_EQ(delayFromRawValue(raw), std::nullopt) << raw;
    }
}

TEST(Enumerations, EveryCaseRoundTripsThroughItsRawValue) {
    for (const auto mode : allSequenceModes) {
        EXPECT_EQ(sequenceModeFromRawValue(rawValue(mode)), mode);
    }
    for (const auto format : allSupportedImageFormats) {
        EXPECT_EQ(supportedImageFormatFromRawValue(rawValue(format)), format);
    }
    for (const auto delay : allDelays) {
        EXPECT_EQ(delayFromRawValue(rawValue(delay)), delay);
    }
    EXPECT_EQ(rawValue(SupportedImageFormat::TIFF), "TIFF");
    EXPECT_EQ(rawValue(Delay::five), 5);
}

TEST(Enumerations, ListsKeepDeclarationOrder) {
    ASSERT_EQ(allCameraTypes.size(), 6u);
    EXPECT_EQ(allCameraTypes.front(), CameraType::wideAngle);
    EXPECT_EQ(allCameraTypes.back(), CameraType::tele5x);
    EXPECT_EQ(allSequenceModes[2], SequenceMode::starTrails);
    EXPECT_EQ(allSupportedImageFormats[1], SupportedImageFormat::JPEG);
}

TEST(ActiveOverlayViews, InsertRemoveAndUpdateReportWhatWasThere) {
    ActiveOverlayViews set{ActiveOverlayViews::grid, ActiveOverlayViews::histogram};
    EXPECT_EQ(set.rawValue, 9);

    EXPECT_EQ(set.remove(ActiveOverlayViews::spiritLevel), std::nullopt);
    EXPECT_EQ(set.rawValue, 9);

    const auto notInserted = set.insert(ActiveOverlayViews::grid);
    EXPECT_FALSE(notInserted.inserted);
    EXPECT_EQ(notInserted.memberAfterInsert, ActiveOverlayViews::grid);
    EXPECT_EQ(set.rawValue, 9);

    const auto inserted = set.insert(ActiveOverlayViews::magnifier);
    EXPECT_TRUE(inserted.inserted);
    EXPECT_EQ(set.rawValue, 13);

    // Removing a combination returns only the bits that were set.
    const ActiveOverlayViews both{ActiveOverlayViews::grid, ActiveOverlayViews::spiritLevel};
    EXPECT_EQ(set.remove(both), ActiveOverlayViews::grid);
    EXPECT_EQ(set.rawValue, 12);

    EXPECT_EQ(set.update(ActiveOverlayViews::grid), std::nullopt);
    EXPECT_EQ(set.update(ActiveOverlayViews::grid), ActiveOverlayViews::grid);
    EXPECT_EQ(set.rawValue, 13);

    // Inserting a member of which one bit is missing reports the insertion.
    ActiveOverlayViews partial = ActiveOverlayViews::grid;
    EXPECT_TRUE(partial.insert(both).inserted);
    EXPECT_EQ(partial.rawValue, 3);
}

TEST(ActiveOverlayViews, SetAlgebraIsPlainBitOperations) {
    const ActiveOverlayViews a{ActiveOverlayViews::grid, ActiveOverlayViews::magnifier};      // 5
    const ActiveOverlayViews b{ActiveOverlayViews::magnifier, ActiveOverlayViews::histogram}; // 12
    EXPECT_EQ(a.unionWith(b).rawValue, 13);
    EXPECT_EQ(a.intersection(b).rawValue, 4);
    EXPECT_EQ(a.symmetricDifference(b).rawValue, 9);
    EXPECT_EQ(a.subtracting(b).rawValue, 1);
    EXPECT_TRUE(ActiveOverlayViews::grid.isSubset(a));
    EXPECT_TRUE(a.isSuperset(ActiveOverlayViews::magnifier));
    EXPECT_FALSE(a.isDisjoint(b));
    EXPECT_TRUE(a.isDisjoint(ActiveOverlayViews::spiritLevel));
    EXPECT_TRUE(ActiveOverlayViews{}.isEmpty());
    EXPECT_TRUE(ActiveOverlayViews({}).isEmpty());
    EXPECT_TRUE(ActiveOverlayViews{}.isSubset(a));
    // Any raw value is kept, also bits that name no overlay.
    EXPECT_EQ(ActiveOverlayViews(std::int64_t{-1}).rawValue, -1);
    EXPECT_TRUE(ActiveOverlayViews(std::int64_t{-1}).contains(b));
}
