#include "platform/capture/simulated/SimulatedCameraOptions.hpp"

#include <cstdlib>

namespace qv::platform {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace

SimulatedCameraOptions SimulatedCameraOptions::withEnvironment() const {
    SimulatedCameraOptions filled = *this;
    if (!filled.source) {
        filled.source = environment("QV_CAMERA_SOURCE");
    }
    if (!filled.profile) {
        filled.profile = environment("QV_CAMERA_PROFILE");
    }
    return filled;
}

} // namespace qv::platform
