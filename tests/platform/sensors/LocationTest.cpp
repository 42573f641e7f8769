#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/sensors/LocationManager.hpp"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::EnvironmentOverride;

struct CountingDelegate : LocationManagerDelegate {
    std::vector<PermissionStatus> seen;
    void locationManagerDidChangeAuthorization(LocationManager& manager) override {
        EXPECT_TRUE(DispatchQueue::main().isCurrent());
        seen.push_back(manager.authorizationStatus());
    }
};

class LocationTest : public ::testing::Test {
protected:
    fs::path permissionsFile() const { return testing::freshTestFolder() / "permissions.json"; }

    VirtualDispatch dispatch;
    EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    EnvironmentOverride noLocation{"QV_LOCATION", std::nullopt};
};

TEST_F(LocationTest, TheDelegateHearsOnceAfterItIsSetThenAtEachChange) {
    Permissions permissions(permissionsFile(), {"ask=allow"});
    LocationManager manager(permissions, {});
    auto delegate = std::make_shared<CountingDelegate>();
    manager.setDelegate(delegate);
    EXPECT_TRUE(delegate->seen.empty());
    dispatch.runUntilIdle();
    EXPECT_EQ(delegate->seen, std::vector{PermissionStatus::notDetermined});

    manager.requestWhenInUseAuthorization();
    dispatch.runUntilIdle();
    permissions.changeInSettings(PermissionService::location, PermissionStatus::denied);
    permissions.changeInSettings(PermissionService::camera, PermissionStatus::denied);
    dispatch.runUntilIdle();
    EXPECT_EQ(delegate->seen, (std::vector{PermissionStatus::notDetermined,
                                           PermissionStatus::whenInUse, PermissionStatus::denied}));

    delegate.reset(); // held weakly: nothing to call, nothing kept alive
    permissions.changeInSettings(PermissionService::location, PermissionStatus::always);
    dispatch.runUntilIdle();
}

TEST_F(LocationTest, TheFixIsReportedOnlyWhileAllowedAndTheHeadingOnlyWhileUpdating) {
    Permissions permissions(permissionsFile(), {"location=denied"});
    LocationManager manager(permissions, {"-33.8568,151.2153,-12.5,270"});
    EXPECT_FALSE(manager.location());

    permissions.changeInSettings(PermissionService::location, PermissionStatus::whenInUse);
    const std::optional<Location> fix = manager.location();
    ASSERT_TRUE(fix);
    EXPECT_EQ(fix->coordinate.latitude, -33.8568);
    EXPECT_EQ(fix->coordinate.longitude, 151.2153);
    EXPECT_EQ(fix->altitude, -12.5);
    EXPECT_EQ(fix->timestamp, wallNow());

    EXPECT_FALSE(manager.heading());
    manager.startUpdatingHeading();
    ASSERT_TRUE(manager.heading());
    EXPECT_EQ(manager.heading()->trueHeading, 270);
    manager.stopUpdatingHeading();
    EXPECT_FALSE(manager.heading());

    LocationManager none(permissions, {});
    EXPECT_FALSE(none.location());
}

TEST_F(LocationTest, TheFlagBeatsTheVariableAndABadValueMeansNoLocation) {
    Permissions permissions(permissionsFile(), {"location=always"});
    EnvironmentOverride variable("QV_LOCATION", "10,20");
    EXPECT_EQ(LocationManager(permissions, {}).location()->coordinate.latitude, 10);
    EXPECT_EQ(LocationManager(permissions, {"1,2"}).location()->coordinate.latitude, 1);

    ConsoleCapture console;
    EXPECT_FALSE(LocationManager(permissions, {"91,0"}).location());
    EXPECT_EQ(console.text(), "--location is ignored: the latitude must lie within -90...90 "
                              "and the longitude within -180...180; there is no location\n");
}

TEST(ConfiguredLocation, ReadsTwoToFourNumbersInRange) {
    std::string error;
    const auto full = ConfiguredLocation::parse("-33.8568,151.2153,-12.5,359.5", error);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->heading, 359.5);
    const auto plain = ConfiguredLocation::parse("48,11", error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->altitude, 0);
    EXPECT_FALSE(plain->heading);
    const std::pair<const char*, const char*> cases[] = {
        {"", "expected lat,lon[,alt[,heading]]"},
        {"1", "expected lat,lon[,alt[,heading]]"},
        {"1,2,3,4,5", "expected lat,lon[,alt[,heading]]"},
        {"1,2,", "the altitude '' is not a number"},
        {"1, 2", "the longitude ' 2' is not a number"},
        {"nan,2", "the latitude 'nan' is not a number"},
        {"1,2,1e400", "the altitude '1e400' is not a number"},
        {"1,180.5", "the latitude must lie within -90...90 and the longitude within -180...180"},
        {"1,2,3,360", "the heading must lie within 0...360"},
        {"1,\n2\x01", "the longitude '\\n2\\x01' is not a number"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_FALSE(ConfiguredLocation::parse(text, error)) << text;
        EXPECT_EQ(error, expected) << text;
    }
}

} // namespace
} // namespace qv::platform
