#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// How the app sets up the simulated camera. The app fills these from its command line
// (--camera-source, --camera-profile); what it leaves empty comes from the environment.
struct SimulatedCameraOptions {
    // "synthetic" or "synthetic:<seed>" (the night scene; the default), or a folder of
    // recorded frames (DNG, TIFF, JPEG); see CameraSource.
    std::optional<std::string> source;
    // A JSON camera profile (CameraProfileJson.hpp); the built-in profile without one.
    std::optional<std::string> profile;
    // Where the phone is, for the stars: degrees north; 45 without one.
    std::optional<double> latitude;

    // These options with the source from QV_CAMERA_SOURCE and the profile from
    // QV_CAMERA_PROFILE where they were not given (an empty variable counts as unset).
    SimulatedCameraOptions withEnvironment() const;
};

// Where the frames come from, read from a source text: "synthetic" (the night scene with
// its default seed), "synthetic:<seed>" (a whole number from 0 to 4294967295), or any other
// text, the path of a folder of recorded frames.
struct CameraSource {
    std::optional<std::uint32_t> seed;           // the night scene's seed; nothing: the default
    std::optional<std::filesystem::path> folder; // recorded frames; nothing: the night scene

    // On a malformed text (empty, or a seed that is no such number), nothing, and `error`
    // says why in one line.
    static std::optional<CameraSource> parse(std::string_view text, std::string& error);
};

} // namespace qv::platform
