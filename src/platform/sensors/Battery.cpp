#include "platform/sensors/Battery.hpp"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace qv::platform {

namespace {

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

Battery::Battery(std::filesystem::path powerSupplyRoot) : root(std::move(powerSupplyRoot)) {}

Battery& Battery::current() {
    static Battery battery;
    return battery;
}

float Battery::batteryLevel() const {
    if (!monitoring.load()) {
        return -1.0f;
    }
    std::error_code error;
    std::vector<std::filesystem::path> supplies;
    for (std::filesystem::directory_iterator entry(root, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        supplies.push_back(entry->path());
    }
    std::sort(supplies.begin(), supplies.end());
    for (const auto& supply : supplies) {
        if (firstLine(supply / "type") != "Battery") {
            continue;
        }
        try {
            const int percent = std::stoi(firstLine(supply / "capacity"));
            return float(std::clamp(percent, 0, 100)) / 100.0f;
        } catch (const std::exception&) {
            return -1.0f;
        }
    }
    return -1.0f;
}

} // namespace qv::platform
