#pragma once

#include <atomic>
#include <filesystem>

namespace qv::platform {

// The machine's battery, read from the kernel's power-supply class
// (<root>/<supply>/type is "Battery", <root>/<supply>/capacity in percent).
// Like a phone's, the level is only reported while monitoring is on.
// Safe to use from any thread.
class Battery {
public:
    explicit Battery(std::filesystem::path powerSupplyRoot = "/sys/class/power_supply");

    // The one battery of the app.
    static Battery& current();

    void setMonitoringEnabled(bool enabled) { monitoring.store(enabled); }
    bool isMonitoringEnabled() const { return monitoring.load(); }

    // 0 to 1; -1 while monitoring is off, on a machine without a battery, or
    // when the capacity cannot be read. With several batteries, the first by
    // name.
    float batteryLevel() const;

private:
    std::filesystem::path root;
    std::atomic<bool> monitoring{false};
};

} // namespace qv::platform
