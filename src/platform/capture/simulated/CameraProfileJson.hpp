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

// The profile in the file, or on any fault one line naming the file and what is wrong with it:
// missing, not a regular file (a FIFO or a device is never read), unreadable, over 1 MB, or
// not a valid profile (the faulty field): "camera profile '/p.json': is larger than 1 MB".
std::variant<CameraProfile, std::string> readCameraProfile(const std::filesystem::path& file);

// The profile in the file; on any fault readCameraProfile's line is printed and the built-in
// profile applies.
CameraProfile loadCameraProfile(const std::filesystem::path& file);

} // namespace qv::platform
