#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// How the app sets up the simulated camera. The app fills these from its command line
// (--camera-source, --camera-profile); what it leaves empty comes from the environment.
struct SimulatedCameraOptions {
    // "synthetic" or "synthetic:<seed>" (the night scene; the default), or a folder of
    // recorded frames (DNG, TIFF, JPEG).
    std::optional<std::string> source;
    // A JSON camera profile (CameraProfileJson.hpp); the built-in profile without one.
    std::optional<std::string> profile;
    // Where the phone is, for the stars: degrees north; 45 without one.
    std::optional<double> latitude;

    // These options with the source from QV_CAMERA_SOURCE and the profile from
    // QV_CAMERA_PROFILE where they were not given (an empty variable counts as unset).
    SimulatedCameraOptions withEnvironment() const;
};

} // namespace qv::platform
