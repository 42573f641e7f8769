#pragma once

#include <atomic>
#include <filesystem>
#include <optional>

namespace qv::platform {

// How hard the machine is pressed (heat), as a camera reports it.
enum class SystemPressureLevel { nominal, fair, serious, critical, shutdown };

// Reads the pressure from the kernel's thermal zones
// (<root>/thermal_zone*/temp and trip_point_*_temp / _type, millidegrees):
// a zone at or above a "passive" trip point is fair, "hot" serious,
// "critical" critical. Nominal where the machine tells nothing. A simulated
// level, when set, wins (tests and demos). Safe to use from any thread.
class SystemPressure {
public:
    explicit SystemPressure(std::filesystem::path thermalRoot = "/sys/class/thermal");

    static SystemPressure& current();

    SystemPressureLevel level() const;
    void simulateLevel(std::optional<SystemPressureLevel> level);

private:
    std::filesystem::path root;
    std::atomic<int> simulated{-1}; // -1: none
};

} // namespace qv::platform
