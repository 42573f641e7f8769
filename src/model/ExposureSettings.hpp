#pragma once

#include "model/Exposure.hpp"
#include "model/ExposureLimits.hpp"

#include <memory>
#include <optional>

namespace qv::platform {
class CaptureDevice;
class DispatchQueue;
} // namespace qv::platform

namespace qv {

// How the exposure of a long exposure is chosen.
enum class ExposureOptimizationMode {
    apple,             // keep what the device's automatic exposure chose
    tripodLowestISO,   // the lowest ISO that gives the metered exposure
    handHeldLowestISO, // treated as apple
};

// The camera controller's record of the exposure situation of the active camera:
// what the device does now, its limits, how a long exposure is optimised, and the
// preview offset, the exposure bias that makes the automatic preview look like the
// manual exposure the user chose. A value; copies share the device and the queue.
struct ExposureSettings {
    Exposure activeExposure;
    Exposure targetExposure; // equal to activeExposure at construction
    float previewOffset = 0; // EV
    float offsetEV = 0;      // EV
    ExposureOptimizationMode optimizationMode = ExposureOptimizationMode::tripodLowestISO;

    // Takes the device's ISO and exposure duration (bias 0) and its limits. Preview
    // bias changes run on `biasQueue` in the order they were asked for, so the
    // last one asked for is the one the device keeps.
    ExposureSettings(std::shared_ptr<platform::CaptureDevice> device,
                     std::shared_ptr<platform::DispatchQueue> biasQueue);

    const QVPhotoMath::ExposureLimits& exposureLimits() const { return limits; }
    const std::shared_ptr<platform::CaptureDevice>& device() const { return camera; }

    // In tripodLowestISO: the lowest-ISO exposure, snapped to the standard series, for
    // the active exposure's EV corrected by the device's metering offset, asking for
    // `offset` EV more light; bias 0. Otherwise the active exposure unchanged.
    Exposure optimizedExposure(float offset) const;

    // Reads the device's bias, metering offset, ISO and duration into activeExposure.
    // Without manual exposure (or without a chosen ISO and speed) the preview offset is
    // the device's bias. Otherwise it is the bias that shows the chosen exposure: the
    // EV difference between the device's exposure and the chosen one plus the metering
    // offset, within the device's bias range and then within [-largestOffset,
    // largestOffset]. When that differs from the device's bias by 0.2 EV or more, the
    // device's bias is set to the preview offset on the bias queue.
    void updatePreviewOffset(bool manualExposure, std::optional<float> chosenISO,
                             std::optional<double> chosenShutterSpeed, float largestOffset);

private:
    // Sets the device's bias to the current preview offset on the bias queue; a failed
    // configuration lock is printed and the bias stays as it was.
    void applyPreviewOffset() const;

    std::shared_ptr<platform::CaptureDevice> camera;
    std::shared_ptr<platform::DispatchQueue> biasQueue;
    QVPhotoMath::ExposureLimits limits;
};

} // namespace qv
