#include "model/DngLevels.hpp"

#include "platform/media/MetadataKeys.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace qv;
using platform::MetadataDictionary;
using platform::MetadataList;
using platform::MetadataValue;
namespace key = platform::metadata;

namespace {

using Points = std::vector<std::uint32_t>;

MetadataDictionary rawPhoto(MetadataValue black, MetadataValue white, MetadataList neutral) {
    MetadataDictionary metadata;
    MetadataDictionary& dng = metadata.dictionary(key::dngGroup);
    dng.set(key::dngBlackLevel, std::move(black));
    dng.set(key::dngWhiteLevel, std::move(white));
    dng.set(key::dngAsShotNeutral, std::move(neutral));
    return metadata;
}

} // namespace

TEST(DngLevels, WorkedExample) {
    const MetadataDictionary photo = rawPhoto(528, 4095, {0.5, 1.0, 0.7});
    EXPECT_EQ(blackClippingPoints(photo), (Points{528, 532, 532}));
    EXPECT_EQ(whiteClippingPoints(photo), (Points{2308, 4092, 3020}));
}

TEST(DngLevels, NeutralMultiplesRoundUp) {
    EXPECT_EQ(blackClippingPoints(rawPhoto(100, 16383, {0.5, 1.0, 1.005})),
              (Points{100, 104, 108}));
    const MetadataDictionary neutral = rawPhoto(64, 16383, {1.0, 1.0, 1.0});
    EXPECT_EQ(blackClippingPoints(neutral), (Points{64, 64, 64}));
    EXPECT_EQ(whiteClippingPoints(neutral), (Points{16380, 16380, 16380}));
}

TEST(DngLevels, MissingMetadataGivesTheDefaults) {
    const MetadataDictionary none;
    EXPECT_EQ(dngBlackLevel(none), 0u);
    EXPECT_EQ(dngWhiteLevel(none), 16383u);
    EXPECT_EQ(dngAsShotNeutral(none), (std::vector<double>{1, 1, 1}));
    EXPECT_EQ(blackClippingPoints(none), (Points{0, 0, 0}));
    EXPECT_EQ(whiteClippingPoints(none), (Points{16380, 16380, 16380}));

    // Present but of another type reads as missing.
    const MetadataDictionary wrongTypes = rawPhoto("528", true, {"a", 1.0});
    EXPECT_EQ(dngBlackLevel(wrongTypes), 0u);
    EXPECT_EQ(dngWhiteLevel(wrongTypes), 16383u);
    EXPECT_EQ(dngAsShotNeutral(wrongTypes), (std::vector<double>{1, 1, 1}));
}

TEST(DngLevels, LevelsStoredPerChannelUseTheFirstEntry) {
    const MetadataDictionary photo =
        rawPhoto(MetadataList{528, 530, 529, 531}, MetadataList{4095.0}, {1.0, 1.0, 1.0});
    EXPECT_EQ(dngBlackLevel(photo), 528u);
    EXPECT_EQ(dngWhiteLevel(photo), 4095u);
    EXPECT_EQ(blackClippingPoints(photo), (Points{528, 528, 528}));
}

TEST(DngLevels, LevelsOutside32BitsAreNotUsed) {
    EXPECT_EQ(dngBlackLevel(rawPhoto(-5, 4095, {})), 0u);
    EXPECT_EQ(dngBlackLevel(rawPhoto(std::int64_t{1} << 40, 4095, {})), 0u);
    EXPECT_EQ(dngWhiteLevel(rawPhoto(0, std::numeric_limits<double>::quiet_NaN(), {})), 16383u);
}

TEST(DngLevels, BadNeutralOrLevelsGiveNoPoints) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const MetadataList& neutral :
         {MetadataList{}, MetadataList{0.0, 1.0, 1.0}, MetadataList{-0.5, 1.0, 1.0},
          MetadataList{nan, 1.0, 1.0}, MetadataList{1.0, inf, 1.0}}) {
        const MetadataDictionary photo = rawPhoto(528, 4095, neutral);
        EXPECT_EQ(blackClippingPoints(photo), Points{}) << neutral.size();
        EXPECT_EQ(whiteClippingPoints(photo), Points{}) << neutral.size();
    }
    // White below black.
    EXPECT_EQ(whiteClippingPoints(rawPhoto(4095, 528, {1.0, 1.0, 1.0})), Points{});
    // A tiny neutral entry would push the black points past 32 bits.
    EXPECT_EQ(blackClippingPoints(rawPhoto(528, 4095, {1e-300, 1.0, 1.0})), Points{});
    // A huge neutral entry would push the white points past 32 bits.
    EXPECT_EQ(whiteClippingPoints(rawPhoto(0, 4095, {1.0, 1e12, 1.0})), Points{});
    // The largest levels still fit.
    const std::int64_t max32 = 4294967295;
    EXPECT_EQ(whiteClippingPoints(rawPhoto(0, max32, {1.0})), (Points{4294967292u}));
    EXPECT_EQ(blackClippingPoints(rawPhoto(max32, max32, {1.0})), (Points{4294967295u}));
    EXPECT_EQ(blackClippingPoints(rawPhoto(max32, max32, {1.0, 2.0})), Points{});
}
