#include "camera/DeviceCommands.hpp"

#include "camera/CameraManager.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using platform::ConfigurationLock;
using platform::FocusMode;
using platform::WhiteBalanceMode;

namespace {

const char* whiteBalanceModeName(WhiteBalanceMode mode) {
    switch (mode) {
    case WhiteBalanceMode::continuousAutoWhiteBalance:
        return "continuous auto white balance";
    case WhiteBalanceMode::autoWhiteBalance:
        return "auto white balance";
    case WhiteBalanceMode::locked:
        return "locked";
    }
    return "locked";
}

platform::WhiteBalanceGains withinGainRange(platform::WhiteBalanceGains gains, float maximum) {
    const auto limit = [maximum](float gain) { return std::clamp(gain, 1.0f, maximum); };
    return {limit(gains.redGain), limit(gains.greenGain), limit(gains.blueGain)};
}

// Runs `change` holding the device's configuration lock, released when it returns. A lock
// that fails is printed and the change skipped; gives whether the change ran.
template <typename Change>
bool configure(platform::CaptureDevice& device, Change&& change) {
    ConfigurationLock lock(device);
    if (!lock) {
        platform::print(lock.errorDescription());
        return false;
    }
    change();
    return true;
}

} // namespace

void DeviceCommands::focusAtPoint(double x, double y) {
    const auto layer = camera.cameraPreviewLayer.get();
    if (!layer) {
        return;
    }
    const platform::CapturePoint pointOfInterest =
        layer->captureDevicePointOfInterestForPoint({x, y});
    const auto device = camera.activeCaptureDevice.get();
    if (!device || !device->isFocusModeSupported(FocusMode::autoFocus)) {
        return;
    }
    configure(*device, [&] {
        device->setFocusPointOfInterest(pointOfInterest);
        device->setFocusMode(FocusMode::autoFocus);
    });
    camera.onMain([x, y](CameraManager& self) { self.focusPoint = {x, y}; });
}

void DeviceCommands::focusAtCenter() {
    const auto device = camera.activeCaptureDevice.get();
    if (!device) {
        return;
    }
    configure(*device, [&] {
        if (camera.focusMode.get() == FocusMode::continuousAutoFocus) {
            device->setFocusModeLocked(camera.lensPosition.get());
        } else if (device->isFocusModeSupported(FocusMode::continuousAutoFocus)) {
            device->setFocusPointOfInterest({0.5, 0.5});
            device->setFocusMode(FocusMode::continuousAutoFocus);
        }
    });
    camera.onMain(
        [device](CameraManager& self) { self.focusPoint = device->focusPointOfInterest(); });
}

void DeviceCommands::setLensPosition(float position) {
    const auto device = camera.activeCaptureDevice.get();
    if (!device || !device->isLockingFocusWithCustomLensPositionSupported() ||
        !std::isfinite(position)) {
        return;
    }
    const float lens = std::clamp(position, 0.0f, 1.0f);
    const bool inStarTrails = camera.sequenceMode.get() == SequenceMode::starTrails;
    if (inStarTrails && camera.activeOverlayViews->contains(ActiveOverlayViews::magnifier)) {
        camera.isAdjustingFocus = true; // shown until the camera reports its own state
    }
    configure(*device, [&] { device->setFocusModeLocked(lens); });
    if (inStarTrails) {
        camera.settings.starFocus(camera.activeCameraType.get()) = double(lens);
    }
}

void DeviceCommands::setExposureBias(float bias) {
    const auto device = camera.activeCaptureDevice.load();
    if (!device) {
        return;
    }
    configure(*device, [&] {
        device->setExposureTargetBias(
            std::clamp(bias, device->minExposureTargetBias(), device->maxExposureTargetBias()));
    });
}

void DeviceCommands::setExposureMode() {
    const auto device = camera.activeCaptureDevice.get();
    if (!device) {
        return;
    }
    configure(*device,
              [&] { device->setExposureMode(platform::ExposureMode::continuousAutoExposure); });
    focusAtCenter();
}

void DeviceCommands::setWhiteBalance() {
    const auto device = camera.activeCaptureDevice.load();
    if (!device || !device->isLockingWhiteBalanceWithCustomDeviceGainsSupported()) {
        return;
    }
    const auto gains =
        withinGainRange(device->deviceWhiteBalanceGains(platform::WhiteBalanceTemperatureAndTint{
                            nightModeWhiteBalanceTemperature, nightModeWhiteBalanceTint}),
                        device->maxWhiteBalanceGain());
    originalWhiteBalanceMode = device->whiteBalanceMode();
    configure(*device, [&] { device->setWhiteBalanceModeLocked(gains); });
}

void DeviceCommands::lockWhiteBalance() {
    platform::print(std::string("Original White Balance mode: ") +
                    whiteBalanceModeName(originalWhiteBalanceMode));
    const auto device = camera.activeCaptureDevice.load();
    if (!device || !device->isWhiteBalanceModeSupported(originalWhiteBalanceMode)) {
        return;
    }
    configure(*device, [&] { device->setWhiteBalanceMode(originalWhiteBalanceMode); });
}

void DeviceCommands::applyStarSettings() {
    const auto device = camera.activeCaptureDevice.get();
    if (!device) {
        return;
    }
    const QVPhotoMath::ExposureLimits limits(*device);
    const auto setting =
        limits.exposureSetting(float(camera.settings.starEV.get()), double(device->lensAperture()));
    camera.isManualExposure = false;
    camera.isManualExposure = true;
    camera.selectedISOIndex =
        std::int64_t(QVPhotoMath::isoIndex(setting.iso, limits.minISO(), limits.maxISO()));
    camera.selectedShutterSpeedIndex = std::int64_t(QVPhotoMath::closestShutterSpeedIndex(
        setting.shutterSpeed, limits.minShutterSpeed().seconds(),
        limits.maxShutterSpeed().seconds()));
    // The star exposure refresh: the preview shows the star exposure without an offset.
    camera.onMain([](CameraManager& self) { self.selection_.showChosenExposure(0); });
    const double starFocus = camera.settings.starFocus(camera.activeCameraType.get()).get();
    configure(*device, [&] {
        camera.isAdjustingExposure = false;
        if (camera.focusMode.get() != FocusMode::locked &&
            device->isLockingFocusWithCustomLensPositionSupported()) {
            setLensPosition(float(starFocus)); // takes the lock again, as its holder
        }
    });
}

void DeviceCommands::applyAutoExposureAsCustom(std::function<void()> completion) {
    const auto device = camera.activeCaptureDevice.load();
    const auto settings = camera.exposureSettings.load();
    if (!device || !settings) {
        if (device) {
            platform::print("No exposure to take over: the camera has not reported one yet");
        }
        completion();
        return;
    }
    const Exposure exposure = settings->optimizedExposure(0);
    const bool set = configure(*device, [&] {
        device->setExposureModeCustom(exposure.shutterSpeed, exposure.iso,
                                      [completion](platform::MediaTime) { completion(); });
    });
    if (!set) {
        completion();
    }
}

} // namespace qv
