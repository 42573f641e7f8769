#include "model/GpsMetadata.hpp"

#include "platform/media/MetadataKeys.hpp"

#include <cmath>
#include <gtest/gtest.h>

using namespace qv;
using platform::Heading;
using platform::Location;
namespace key = platform::metadata;

namespace {

// 2024-01-31 23:59:59.5 UTC
const platform::WallTime endOfJanuary = platform::wallTimeFromSeconds(1706745599.5);

Location capeTown() {
    return {{-33.9, 18.4}, -3.7, endOfJanuary};
}

} // namespace

TEST(GpsDictionary, SouthOfTheEquatorAndBelowSeaLevel) {
    const auto gps = gpsDictionary(capeTown());
    ASSERT_TRUE(gps);
    EXPECT_EQ(gps->find(key::gpsLatitude)->number(), 33.9);
    EXPECT_EQ(*gps->find(key::gpsLatitudeRef)->string(), "S");
    EXPECT_EQ(gps->find(key::gpsLongitude)->number(), 18.4);
    EXPECT_EQ(*gps->find(key::gpsLongitudeRef)->string(), "E");
    EXPECT_EQ(gps->find(key::gpsAltitude)->integer(), 3);
    EXPECT_EQ(gps->find(key::gpsAltitudeRef)->integer(), 1);
    EXPECT_EQ(*gps->find(key::gpsVersion)->string(), "2.2.0.0");
    EXPECT_EQ(gps->size(), 9u);
    EXPECT_FALSE(gps->contains(key::gpsImgDirection));
}

TEST(GpsDictionary, NorthWestAboveSeaLevelWithHeading) {
    const auto gps = gpsDictionary({{47.37, -122.5}, 120.9, endOfJanuary}, Heading{271.5});
    ASSERT_TRUE(gps);
    EXPECT_EQ(*gps->find(key::gpsLatitudeRef)->string(), "N");
    EXPECT_EQ(gps->find(key::gpsLongitude)->number(), 122.5);
    EXPECT_EQ(*gps->find(key::gpsLongitudeRef)->string(), "W");
    EXPECT_EQ(gps->find(key::gpsAltitude)->integer(), 120);
    EXPECT_EQ(gps->find(key::gpsAltitudeRef)->integer(), 0);
    EXPECT_EQ(gps->size(), 11u);
    EXPECT_EQ(gps->find(key::gpsImgDirection)->number(), 271.5);
    EXPECT_EQ(*gps->find(key::gpsImgDirectionRef)->string(), "T");
    // Keys come in the order readers expect them.
    EXPECT_EQ(gps->begin()->first, key::gpsLatitude);
}

TEST(GpsDictionary, TimeAndDateAreUTCWhateverTheLocalZone) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", "Asia/Tokyo", 1); // 08:59:59.5 on 1 February locally
    tzset();
    const auto gps = gpsDictionary(capeTown());
    if (previous) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    ASSERT_TRUE(gps);
    EXPECT_EQ(*gps->find(key::gpsTimeStamp)->string(), "23:59:59.500000");
    EXPECT_EQ(*gps->find(key::gpsDateStamp)->string(), "2024:01:31");
}

TEST(GpsDictionary, FixesReadersWouldRejectGiveNoDictionary) {
    EXPECT_FALSE(gpsDictionary({{91, 0}, 0, endOfJanuary}));
    EXPECT_FALSE(gpsDictionary({{0, -180.5}, 0, endOfJanuary}));
    EXPECT_FALSE(gpsDictionary({{NAN, 0}, 0, endOfJanuary}));
    EXPECT_FALSE(gpsDictionary({{10, 10}, INFINITY, endOfJanuary}));
    EXPECT_TRUE(gpsDictionary({{-90, 180}, 0, endOfJanuary}));
}
