#include "camera/ExposureLock.hpp"

#include "camera/CameraManager.hpp"
#include "model/NightModeConfig.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"

namespace qv {

using platform::FocusMode;

namespace {

// Asks for a change holding the configuration lock, given back as soon as it is asked for.
// False, with the reason printed, when the lock fails.
template <typename Change>
bool lockedChange(platform::CaptureDevice& device, Change&& change) {
    platform::ConfigurationLock lock(device);
    if (!lock) {
        platform::print(lock.errorDescription());
        return false;
    }
    change();
    return true;
}

// `done` on the main queue when the camera calls a change's completion.
platform::CaptureDevice::Completion onMainWhenDone(std::function<void()> done) {
    return [done = std::move(done)](platform::MediaTime) {
        platform::DispatchQueue::main().async(done);
    };
}

} // namespace

void ExposureLock::lockFocusForSequence(std::function<void()> done) {
    const auto& device = camera.activeCaptureDevice.get();
    if (!camera.isAutoFocusSupported.get() || !device || device->focusMode() == FocusMode::locked ||
        !device->isLockingFocusWithCustomLensPositionSupported()) {
        done();
        return;
    }
    const bool asked = lockedChange(*device, [&] {
        device->setFocusModeLocked(platform::CaptureDevice::lensPositionCurrent,
                                   onMainWhenDone(done));
    });
    if (!asked) {
        done();
    }
}

void ExposureLock::applyCustomExposure(std::function<void()> done) {
    const auto& device = camera.activeCaptureDevice.get();
    if (!device) {
        done();
        return;
    }
    platform::MediaTime duration;
    float iso = nightModeBaseISO;
    if (camera.sequenceMode.get() == SequenceMode::nightMode) {
        duration = camera.currentsExposureLimits->maxShutterSpeed();
        if (camera.isManualExposure.get() &&
            NightModeConfig::shared().betaNightISOMode() == BetaNightISOMode::native) {
            iso = camera.selectedISO();
        }
    } else if (camera.isManualExposure.get()) {
        duration = camera.selectedExposureDuration();
        iso = camera.selectedISO();
    } else if (const auto& settings = camera.exposureSettings.get()) {
        const Exposure exposure = settings->optimizedExposure(0);
        duration = exposure.shutterSpeed;
        iso = exposure.iso;
    } else {
        platform::print("No custom exposure: the camera has not reported an exposure yet");
        done();
        return;
    }
    // Once the camera exposes as the photos will, the preview needs no offset.
    auto resetOffset = camera.whileAlive([done](CameraManager& self) {
        if (self.exposureSettings.get()) {
            auto settings = *self.exposureSettings.get();
            settings.previewOffset = 0;
            self.exposureSettings = settings;
        }
        done();
    });
    const bool asked = lockedChange(*device, [&] {
        device->setExposureModeCustom(duration, iso, onMainWhenDone(resetOffset));
    });
    if (!asked) {
        done();
    }
}

void ExposureLock::setManualExposure() {
    const auto& device = camera.activeCaptureDevice.get();
    if (!device) {
        return;
    }
    const QVPhotoMath::ExposureLimits limits(*device);
    camera.currentsExposureLimits = limits;
    camera.selectableISOs = QVPhotoMath::isoValues(limits.minISO(), limits.maxISO());
    camera.selectableShutterSpeeds = QVPhotoMath::shutterSpeeds(limits.minShutterSpeed().seconds(),
                                                                limits.maxShutterSpeed().seconds());
}

} // namespace qv
