#pragma once

#include "platform/capture/CaptureDevice.hpp"

#include <functional>

namespace qv {

class CameraManager;

// The controller's direct commands to the active camera outside a run: tap to focus,
// re-centring the focus, the manual lens position (remembered per camera in star trails), the
// exposure bias, continuous automatic exposure, night mode's fixed white balance and its undoing,
// the star settings, and the automatic exposure taken over as a custom one.
//
// Every command does nothing without an active camera. Each change is made inside a
// ConfigurationLock scope; a lock that fails prints its description, the guarded change is
// skipped and nothing is shown. Values are kept within the camera's ranges: a bias within
// its bias range, a lens position within 0...1 (a position that is not finite is skipped),
// white-balance gains within 1...maxWhiteBalanceGain().
//
// Threads: focusAtPoint, focusAtCenter, setLensPosition, setExposureMode and applyStarSettings run
// on the main queue; setWhiteBalance, lockWhiteBalance and applyAutoExposureAsCustom on
// "PhotoSession"; setExposureBias on either. Published state is written on the main queue.
class DeviceCommands {
public:
    static constexpr float nightModeWhiteBalanceTemperature = 4000; // kelvin
    static constexpr float nightModeWhiteBalanceTint = 0;

    explicit DeviceCommands(CameraManager& owner) : camera(owner) {}
    DeviceCommands(const DeviceCommands&) = delete;
    DeviceCommands& operator=(const DeviceCommands&) = delete;

    // Focuses once on the point of the preview under (x, y), in the preview's points.
    void focusAtPoint(double x, double y);
    // Continuous autofocus at the centre, or, when it is on, focus locked where the lens is.
    void focusAtCenter();
    // Manual focus; in star trails also remembered as the active camera's star focus.
    void setLensPosition(float position);
    void setExposureBias(float bias);
    // Continuous automatic exposure, then focusAtCenter.
    void setExposureMode();
    // Night mode: white balance locked at the gains of 4000 K, tint 0; the mode it had is
    // kept for lockWhiteBalance.
    void setWhiteBalance();
    // Leaving night mode: the white-balance mode kept by setWhiteBalance, where supported.
    void lockWhiteBalance();
    // The star exposure ("starEV" at the lens's aperture, as manual ISO and shutter
    // positions) and, unless the focus is locked, the active camera's star focus.
    void applyStarSettings();
    // Sets the exposure the automatic exposure has reached as a custom one. `completion`
    // runs exactly once, on the camera's thread once the exposure is set, or at once on
    // "PhotoSession" when nothing could be set (no camera, no exposure settings, a failed
    // lock), so whoever waits for it never waits for good.
    void applyAutoExposureAsCustom(std::function<void()> completion);

private:
    CameraManager& camera;
    // The white-balance mode before night mode fixed it; used on "PhotoSession" only.
    platform::WhiteBalanceMode originalWhiteBalanceMode =
        platform::WhiteBalanceMode::autoWhiteBalance;
};

} // namespace qv
