#include "model/AppVersion.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

#include <gtest/gtest.h>

using namespace qv;
using platform::UserDefaults;

namespace {

class PersistedSettings : public ::testing::Test {
protected:
    platform::StandardDefaultsOverride defaults{UserDefaults::inMemory()};
    UserDefaults& store() { return defaults.store(); }
    NightModeConfig& config = NightModeConfig::shared();
};

} // namespace

TEST_F(PersistedSettings, NightModeDefaultsWhenNothingIsStored) {
    EXPECT_EQ(config.betaNightMergeMode(), BetaNightMergeMode::noClipping);
    EXPECT_EQ(config.betaNightISOMode(), BetaNightISOMode::native);
}

TEST_F(PersistedSettings, StoredValuesThatNameNoModeReadAsTheDefault) {
    for (const std::int64_t invalid : {6, -1, 1000}) {
        store().set(NightModeConfig::mergeModeKey, invalid);
        EXPECT_EQ(config.betaNightMergeMode(), BetaNightMergeMode::noClipping) << invalid;
    }
    store().set(NightModeConfig::isoModeKey, 2);
    EXPECT_EQ(config.betaNightISOMode(), BetaNightISOMode::native);
    // A value of another type is no value either.
    store().set(NightModeConfig::mergeModeKey, "3");
    EXPECT_EQ(config.betaNightMergeMode(), BetaNightMergeMode::noClipping);
    store().set(NightModeConfig::isoModeKey, 1);
    EXPECT_EQ(config.betaNightISOMode(), BetaNightISOMode::computational);
}

TEST_F(PersistedSettings, WritesStoreTheRawValueAfterAnnouncingTheChange) {
    std::vector<std::optional<std::int64_t>> storedWhenAnnounced;
    const auto subscription = config.onWillChange([&] {
        storedWhenAnnounced.push_back(store().integerValue(NightModeConfig::mergeModeKey));
    });
    config.setBetaNightMergeMode(BetaNightMergeMode::blackAndWhiteClippingRBG);
    EXPECT_EQ(store().integerValue(NightModeConfig::mergeModeKey), 5);
    EXPECT_EQ(config.betaNightMergeMode(), BetaNightMergeMode::blackAndWhiteClippingRBG);
    ASSERT_EQ(storedWhenAnnounced.size(), 1u);
    EXPECT_EQ(storedWhenAnnounced[0], std::nullopt); // announced before it took effect

    config.betaNightISOModeBinding().set(BetaNightISOMode::computational);
    EXPECT_EQ(store().integerValue(NightModeConfig::isoModeKey), 1);
    EXPECT_EQ(config.betaNightISOModeBinding().get(), BetaNightISOMode::computational);
    EXPECT_EQ(storedWhenAnnounced.size(), 2u);
}

TEST_F(PersistedSettings, NightModeRawValues) {
    EXPECT_EQ(betaNightMergeModeFromRawValue(3), BetaNightMergeMode::whiteClipping);
    EXPECT_EQ(betaNightMergeModeFromRawValue(6), std::nullopt);
    EXPECT_EQ(betaNightMergeModeFromRawValue(-1), std::nullopt);
    EXPECT_EQ(betaNightISOModeFromRawValue(1), BetaNightISOMode::computational);
    EXPECT_EQ(betaNightISOModeFromRawValue(2), std::nullopt);
    EXPECT_EQ(allBetaNightMergeModes.size(), 6u);
}

TEST_F(PersistedSettings, LastLaunchFollowsTheStoredVersion) {
    EXPECT_FALSE(isSameVersionAsLastLaunch());
    store().set(lastLaunchedVersionKey, platform::appVersion());
    EXPECT_TRUE(isSameVersionAsLastLaunch());
    // The app was updated: the stored version is an older one.
    store().set(lastLaunchedVersionKey, "0.0.1-earlier");
    EXPECT_FALSE(isSameVersionAsLastLaunch());
    store().set(lastLaunchedVersionKey, 1);
    EXPECT_FALSE(isSameVersionAsLastLaunch());
}
