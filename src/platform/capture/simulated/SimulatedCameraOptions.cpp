#include "platform/capture/simulated/SimulatedCameraOptions.hpp"

#include "platform/console/Describe.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <charconv>
#include <cstdlib>

namespace qv::platform {

namespace {

constexpr std::string_view kSynthetic = "synthetic";

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

std::optional<CameraSource> CameraSource::parse(std::string_view text, std::string& error) {
    if (text.empty()) {
        error = "the camera source is empty: give \"synthetic\", \"synthetic:<seed>\" or a folder";
        return std::nullopt;
    }
    if (text == kSynthetic) {
        return CameraSource{};
    }
    if (!text.starts_with(std::string(kSynthetic) + ":")) {
        return CameraSource{std::nullopt, std::filesystem::path(text)};
    }
    const std::string_view digits = text.substr(kSynthetic.size() + 1);
    std::uint32_t seed = 0;
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), seed);
    if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size()) {
        error = "camera source " + quotedText(text) +
                ": the seed is not a whole number from 0 to " + describe(UINT32_MAX);
        return std::nullopt;
    }
    return CameraSource{seed, std::nullopt};
}

} // namespace qv::platform
