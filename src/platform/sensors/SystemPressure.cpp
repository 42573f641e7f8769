#include "platform/sensors/SystemPressure.hpp"

#include <algorithm>
#include <fstream>
#include <string>

namespace qv::platform {

namespace {

std::optional<long> readNumber(const std::filesystem::path& file) {
    std::ifstream in(file);
    long value = 0;
    if (in >> value) {
        return value;
    }
    return std::nullopt;
}

std::string readWord(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

SystemPressureLevel levelOfTrip(const std::string& type) {
    if (type == "critical") {
        return SystemPressureLevel::critical;
    }
    if (type == "hot") {
        return SystemPressureLevel::serious;
    }
    if (type == "passive") {
        return SystemPressureLevel::fair;
    }
    return SystemPressureLevel::nominal;
}

// The highest level whose trip point this zone has reached.
SystemPressureLevel zoneLevel(const std::filesystem::path& zone) {
    const auto temperature = readNumber(zone / "temp");
    if (!temperature) {
        return SystemPressureLevel::nominal;
    }
    SystemPressureLevel level = SystemPressureLevel::nominal;
    for (int i = 0; i < 32; ++i) {
        const std::string prefix = "trip_point_" + std::to_string(i) + "_";
        const auto trip = readNumber(zone / (prefix + "temp"));
        if (!trip) {
            break;
        }
        if (*temperature >= *trip && *trip > 0) {
            level = std::max(level, levelOfTrip(readWord(zone / (prefix + "type"))));
        }
    }
    return level;
}

} // namespace

SystemPressure::SystemPressure(std::filesystem::path thermalRoot) : root(std::move(thermalRoot)) {}

SystemPressure& SystemPressure::current() {
    static SystemPressure pressure;
    return pressure;
}

void SystemPressure::simulateLevel(std::optional<SystemPressureLevel> level) {
    simulated.store(level ? static_cast<int>(*level) : -1);
}

SystemPressureLevel SystemPressure::level() const {
    if (const int s = simulated.load(); s >= 0) {
        return static_cast<SystemPressureLevel>(s);
    }
    SystemPressureLevel level = SystemPressureLevel::nominal;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(root, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (entry->path().filename().string().rfind("thermal_zone", 0) == 0) {
            level = std::max(level, zoneLevel(entry->path()));
        }
    }
    return level;
}

} // namespace qv::platform
