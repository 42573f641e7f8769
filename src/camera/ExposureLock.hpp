#pragma once

#include <functional>

namespace qv {

class CameraManager;

// Freezing the camera for a run, and the manual selectors' lists:
//  - lockFocusForSequence: the focus locked where the lens is, unless the camera cannot
//    auto-focus, cannot lock at a custom position, or its focus is already locked;
//  - applyCustomExposure: the run's exposure as a custom one: in night mode the longest
//    exposure the camera allows at the chosen ISO (manual exposure, native ISO mode) or
//    else at the base ISO 200; otherwise the chosen manual exposure, or the exposure the
//    automatic exposure recommends (without a reported exposure yet, skipped with one line);
//    afterwards the preview's offset is 0, since the camera now exposes as the photos will;
//  - setManualExposure: the limits of the active camera, and the ISO and shutter-speed
//    lists the manual selectors offer.
//
// Each change is made holding the configuration lock, which is given back as soon as the
// change is asked for (a failed lock prints why and the step ends). `done` runs on the
// main queue once the camera reports the change made, or at once when there was nothing to
// do, so a start waiting for it always goes on.
//
// Threads: main queue.
class ExposureLock {
public:
    static constexpr float nightModeBaseISO = 200;

    explicit ExposureLock(CameraManager& owner) : camera(owner) {}
    ExposureLock(const ExposureLock&) = delete;
    ExposureLock& operator=(const ExposureLock&) = delete;

    void lockFocusForSequence(std::function<void()> done);
    void applyCustomExposure(std::function<void()> done);
    void setManualExposure();

private:
    CameraManager& camera;
};

} // namespace qv
