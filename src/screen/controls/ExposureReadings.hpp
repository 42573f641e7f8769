#pragma once

#include <cstdint>
#include <string>

namespace qv {

class CameraManager;

// What the exposure panel shows, read from the controller: the exposure the next photo
// will use (the camera's own in automatic exposure, the chosen one in manual exposure,
// night mode's own), whether ISO and shutter sit at the camera's limits, and which values
// the user set (drawn white) or the camera chose (gray).
struct ExposureReadings {
    // ISO: manual, else 200 in night mode, else the camera's exposure at its lowest
    // suitable ISO (100 before its first report); truncated, a NaN reads 0.
    std::int64_t iso = 0;
    bool isoIsSet = false; // manual exposure
    bool isoAtMinimum = false;
    bool isoAtMaximum = false;
    // Shutter: night mode's chosen length, else manual, else the camera's (1 s before its
    // first report); a limit counts when its text reads alike, never in night mode.
    std::string shutterText;
    bool shutterIsSet = false;      // manual exposure or night mode: the value white
    bool shutterLabelIsSet = false; // manual exposure: the label and limit marks white
    bool shutterAtMinimum = false;
    bool shutterAtMaximum = false;
    // The camera's offset from its metered exposure; "n/a" in night mode and in star
    // trails with manual exposure. White while automatic and off 0.
    std::string evText;
    bool evIsMeasuredOffset = false;
    // The run's length; "Single Frame" at index 0 (then in a smaller font) and in night
    // mode.
    std::string totalTimeText;
    bool isSingleFrameEntry = false;

    // Main queue.
    static ExposureReadings of(CameraManager& camera);
};

} // namespace qv
