#pragma once

#include "platform/capture/simulated/CameraProfile.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace qv::platform {

// A camera profile in JSON replaces the built-in one as a whole:
//   {"make": "...", "model": "...",
//    "cameras": [{"type": "wide" | "tele" | "ultraWide", "name": "...",
//                 "photoSize": [w, h], "previewSize": [w, h], "videoSize": [w, h],
//                 "fieldOfView": 70, "aperture": 1.78, "focalLength": 5.1,
//                 "iso": [min, max], "exposureDuration": [min s, max s],
//                 "exposureBias": [min, max], "autoFocus": true, "customLensPosition": true,
//                 "infinityLensPosition": 0.9, "raw": true, "proRAW": true,
//                 "lowLightBoost": false, "zoomFactors": [2], "maxWhiteBalanceGain": 4,
//                 "blackLevel": 528, "whiteLevel": 16383}]}
// A camera's missing fields take the built-in values of its type; "cameras" may be empty
// (a phone without back cameras). Every value is checked; an unknown key is a fault too.
struct CameraProfileError {
    std::string field;   // "cameras[1].iso"
    std::string problem; // "the minimum is above the maximum"
    std::string text() const { return field.empty() ? problem : field + ": " + problem; }
};

// The profile the text describes, or the first fault found in it.
std::variant<CameraProfile, CameraProfileError> parseCameraProfile(std::string_view json);

// The profile in the file; on any fault (unreadable, over 1 MB, not a valid profile) one
// console line names the file and the faulty field, and the built-in profile applies.
CameraProfile loadCameraProfile(const std::filesystem::path& file);

} // namespace qv::platform
