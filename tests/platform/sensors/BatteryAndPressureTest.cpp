#include "platform/sensors/Battery.hpp"
#include "platform/sensors/SystemPressure.hpp"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

class SysFolder : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qv-sensors-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    void write(const fs::path& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << text << "\n";
    }
    fs::path root;
};

using BatteryTest = SysFolder;

TEST_F(BatteryTest, LevelOnlyWhileMonitoring) {
    write("AC/type", "Mains");
    write("AC/online", "1");
    write("BAT0/type", "Battery");
    write("BAT0/capacity", "53");
    Battery battery(root);
    EXPECT_FLOAT_EQ(battery.batteryLevel(), -1.0f);
    battery.setMonitoringEnabled(true);
    EXPECT_FLOAT_EQ(battery.batteryLevel(), 0.53f);
    write("BAT0/capacity", "100");
    EXPECT_FLOAT_EQ(battery.batteryLevel(), 1.0f);
    battery.setMonitoringEnabled(false);
    EXPECT_FLOAT_EQ(battery.batteryLevel(), -1.0f);
}

TEST_F(BatteryTest, NoBatteryOrUnreadableCapacityIsMinusOne) {
    write("AC/type", "Mains");
    Battery mainsOnly(root);
    mainsOnly.setMonitoringEnabled(true);
    EXPECT_FLOAT_EQ(mainsOnly.batteryLevel(), -1.0f);
    write("BAT1/type", "Battery");
    write("BAT1/capacity", "unknown");
    EXPECT_FLOAT_EQ(mainsOnly.batteryLevel(), -1.0f);
    Battery missing(root / "nowhere");
    missing.setMonitoringEnabled(true);
    EXPECT_FLOAT_EQ(missing.batteryLevel(), -1.0f);
}

using SystemPressureTest = SysFolder;

TEST_F(SystemPressureTest, TripPointsReachedSetTheLevel) {
    SystemPressure pressure(root);
    EXPECT_EQ(pressure.level(), SystemPressureLevel::nominal);
    write("thermal_zone0/temp", "45000");
    write("thermal_zone0/trip_point_0_temp", "80000");
    write("thermal_zone0/trip_point_0_type", "passive");
    write("thermal_zone0/trip_point_1_temp", "95000");
    write("thermal_zone0/trip_point_1_type", "hot");
    write("thermal_zone0/trip_point_2_temp", "105000");
    write("thermal_zone0/trip_point_2_type", "critical");
    write("cooling_device0/type", "Fan");
    EXPECT_EQ(pressure.level(), SystemPressureLevel::nominal);
    write("thermal_zone0/temp", "81000");
    EXPECT_EQ(pressure.level(), SystemPressureLevel::fair);
    write("thermal_zone0/temp", "96000");
    EXPECT_EQ(pressure.level(), SystemPressureLevel::serious);
    write("thermal_zone0/temp", "110000");
    EXPECT_EQ(pressure.level(), SystemPressureLevel::critical);
}

TEST_F(SystemPressureTest, SimulatedLevelWins) {
    SystemPressure pressure(root / "nowhere");
    EXPECT_EQ(pressure.level(), SystemPressureLevel::nominal);
    pressure.simulateLevel(SystemPressureLevel::shutdown);
    EXPECT_EQ(pressure.level(), SystemPressureLevel::shutdown);
    pressure.simulateLevel(std::nullopt);
    EXPECT_EQ(pressure.level(), SystemPressureLevel::nominal);
}

} // namespace
} // namespace qv::platform
