#include "model/ExposureSettings.hpp"

#include "platform/capture/CaptureDevice.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <cmath>
#include <utility>

namespace qv {

using QVPhotoMath::ClosedRange;
using QVPhotoMath::ExposureSetting;

ExposureSettings::ExposureSettings(std::shared_ptr<platform::CaptureDevice> device,
                                   std::shared_ptr<platform::DispatchQueue> queue)
    : activeExposure{device->iso(), device->exposureDuration(), 0}, targetExposure(activeExposure),
      camera(std::move(device)), biasQueue(std::move(queue)), limits(*camera) {}

Exposure ExposureSettings::optimizedExposure(float offset) const {
    if (optimizationMode != ExposureOptimizationMode::tripodLowestISO) {
        return activeExposure;
    }
    const double aperture = camera->lensAperture();
    const ExposureSetting active{activeExposure.iso, activeExposure.shutterSpeed.seconds(),
                                 aperture};
    const float ev = active.ev() - offset + camera->exposureTargetOffset();
    const ExposureSetting setting = limits.exposureSetting(ev, aperture);
    return {setting.iso, setting.shutterSpeedTime(), 0};
}

void ExposureSettings::updatePreviewOffset(bool manualExposure, std::optional<float> chosenISO,
                                           std::optional<double> chosenShutterSpeed,
                                           float largestOffset) {
    const float deviceBias = camera->exposureTargetBias();
    const float meteringOffset = camera->exposureTargetOffset();
    activeExposure = {camera->iso(), camera->exposureDuration(), 0};
    if (!manualExposure || !chosenISO || !chosenShutterSpeed) {
        previewOffset = deviceBias;
        return;
    }
    const double aperture = camera->lensAperture();
    const ExposureSetting current{activeExposure.iso, activeExposure.shutterSpeed.seconds(),
                                  aperture};
    const ExposureSetting chosen{*chosenISO, *chosenShutterSpeed, aperture};
    const float difference = current.evDifference(chosen);

    float bias = meteringOffset + (deviceBias + difference);
    if (!std::isfinite(bias)) {
        // A device that reports no usable exposure (NaN ISO or duration) gives no
        // difference to act on; clamping NaN would push the preview to a limit.
        previewOffset = deviceBias;
        return;
    }
    bias = clamped(
        bias, ClosedRange<float>{limits.minExposureTargetBias(), limits.maxExposureTargetBias()});
    previewOffset = clamped(bias, ClosedRange<float>{-largestOffset, largestOffset});
    if (std::fabs(bias - deviceBias) < 0.2f) {
        return;
    }
    applyPreviewOffset();
}

void ExposureSettings::applyPreviewOffset() const {
    // The task keeps the device and the value it sets, not the record: later changes
    // of the record do not reach a task already queued.
    biasQueue->async([device = camera, bias = previewOffset] {
        platform::ConfigurationLock lock(*device);
        if (!lock) {
            platform::print("problem settin");
            return;
        }
        device->setExposureTargetBias(bias);
    });
}

} // namespace qv
