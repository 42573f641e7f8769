#include "camera/ExposureSelection.hpp"

#include "camera/CameraManager.hpp"
#include "model/PhotoFormatting.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>

namespace qv {

using platform::isMainThread;
using platform::MediaTime;
using QVPhotoMath::ExposureLimits;

namespace {

std::vector<std::int64_t> isoList(const ExposureLimits& limits) {
    return QVPhotoMath::isoValues(limits.minISO(), limits.maxISO());
}

std::vector<double> shutterList(const ExposureLimits& limits) {
    return QVPhotoMath::shutterSpeeds(limits.minShutterSpeed().seconds(),
                                      limits.maxShutterSpeed().seconds());
}

std::vector<float> biasList(const ExposureLimits& limits) {
    return QVPhotoMath::exposureBiasValues(limits.minExposureTargetBias(),
                                           limits.maxExposureTargetBias());
}

template <typename Table>
std::size_t clampedPosition(std::int64_t index, const Table& table) {
    return std::size_t(std::clamp<std::int64_t>(index, 0, std::int64_t(table.size()) - 1));
}

// The mode the stepper goes to; nullopt for a direction it does not know.
std::optional<SequenceMode> steppedMode(SequenceMode mode, int direction) {
    using enum SequenceMode;
    if (direction == 1) {
        switch (mode) {
        case frameAveraging:
            return lightTrails;
        case lightTrails:
            return starTrails;
        case starTrails:
            return nightMode;
        case nightMode:
            return frameAveraging;
        }
    }
    if (direction == 2) {
        switch (mode) {
        case frameAveraging:
            return starTrails;
        case lightTrails:
            return nightMode;
        case starTrails:
        case nightMode:
            return lightTrails;
        }
    }
    return std::nullopt;
}

} // namespace

template <typename Index>
std::size_t ExposureSelection::correctedIndex(Index& index, std::size_t count) {
    const std::int64_t stored = index.load();
    const std::int64_t corrected = std::clamp<std::int64_t>(stored, 0, std::int64_t(count) - 1);
    if (corrected != stored && isMainThread()) {
        index = corrected;
    }
    return std::size_t(corrected);
}

float ExposureSelection::selectedISO() {
    const auto list = isoList(camera.currentsExposureLimits.load());
    return float(list[correctedIndex(camera.selectedISOIndex, list.size())]);
}

double ExposureSelection::selectedShutterSpeed() {
    const auto list = shutterList(camera.currentsExposureLimits.load());
    return list[correctedIndex(camera.selectedShutterSpeedIndex, list.size())];
}

MediaTime ExposureSelection::selectedExposureDuration() {
    const ExposureLimits limits = camera.currentsExposureLimits.load();
    const auto list = shutterList(limits);
    const std::size_t position = correctedIndex(camera.selectedShutterSpeedIndex, list.size());
    if (position == 0) {
        return limits.minShutterSpeed();
    }
    if (position == list.size() - 1) {
        return limits.maxShutterSpeed();
    }
    return MediaTime::fromSeconds(list[position]);
}

float ExposureSelection::selectedExposureBias() {
    const auto list = biasList(camera.currentsExposureLimits.load());
    return list[correctedIndex(camera.selectedOffsetIndex, list.size())];
}

double ExposureSelection::selectedIntervalDelay() const {
    const auto& durations = ExposureSequence::durations();
    return durations[clampedPosition(camera.selectedIntervalDelayIndex.load(), durations)];
}

std::int64_t ExposureSelection::selectedRepetitions() const {
    const auto& range = CameraManager::repetitionsRange();
    return range[clampedPosition(camera.selectedRepetitionsIndex.load(), range)];
}

std::vector<double> ExposureSelection::nightModeShutterSpeeds() const {
    return QVPhotoMath::longDurations(1,
                                      30 * camera.currentsExposureLimits->maxShutterSpeedSeconds());
}

double ExposureSelection::selectedNightModeShutterSpeed() const {
    const auto lengths = nightModeShutterSpeeds();
    return lengths[clampedPosition(camera.selectedNightModeShutterSpeedIndex, lengths)];
}

void ExposureSelection::autoExposureWillChange(bool newValue) {
    if (newValue) {
        return;
    }
    camera.isAdjustingExposure = true;
    if (camera.sequenceMode.get() != SequenceMode::starTrails && camera.isAutoExposure.get()) {
        // The camera reports the custom exposure on its own thread; the flag is published
        // from the main queue, also when no exposure could be set.
        camera.onSession([](CameraManager& self) {
            self.commands_.applyAutoExposureAsCustom(self.whileAlive([](CameraManager& owner) {
                owner.onMain([](CameraManager& o) { o.isAdjustingExposure = false; });
            }));
        });
        return;
    }
    camera.isAdjustingExposure = false;
}

void ExposureSelection::manualExposureWillChange(bool newValue) {
    const auto& settings = camera.exposureSettings.get();
    if (newValue && !camera.isManualExposure.get() && settings) {
        // Switching manual exposure on: the selectors start at the automatic exposure.
        const Exposure exposure = settings->optimizedExposure(0);
        const ExposureLimits limits = camera.currentsExposureLimits.get();
        camera.selectedISOIndex =
            std::int64_t(QVPhotoMath::isoIndex(exposure.iso, limits.minISO(), limits.maxISO()));
        camera.selectedShutterSpeedIndex = std::int64_t(QVPhotoMath::closestShutterSpeedIndex(
            exposure.shutterSpeed.seconds(), limits.minShutterSpeed().seconds(),
            limits.maxShutterSpeed().seconds()));
        platform::print(QVPhotoMath::formattedShutterSpeed(exposure.shutterSpeed, false));
        platform::print(camera.selectedShutterSpeedIndex.get());
        return;
    }
    returnOffsetToZero();
}

void ExposureSelection::returnOffsetToZero() {
    const ExposureLimits limits = camera.currentsExposureLimits.get();
    // The offset observer applies the bias nearest 0 EV to the camera.
    camera.selectedOffsetIndex = std::int64_t(QVPhotoMath::closestExposureBiasIndex(
        0, limits.minExposureTargetBias(), limits.maxExposureTargetBias()));
    camera.previewOffset = 0;
    if (auto settings = camera.exposureSettings.get()) {
        settings->previewOffset = 0;
        camera.exposureSettings = std::move(settings);
    }
}

void ExposureSelection::exposureIndexDidChange() {
    if (camera.sequenceMode.get() == SequenceMode::starTrails) {
        return;
    }
    camera.onMain([](CameraManager& self) {
        self.selection_.refreshPreviewOffset(self.isManualExposure.get(), 8);
    });
}

std::optional<float> ExposureSelection::refreshPreviewOffset(bool manual, float largestOffset) {
    auto settings = camera.exposureSettings.get();
    if (!settings) {
        return std::nullopt;
    }
    settings->updatePreviewOffset(manual, selectedISO(), selectedShutterSpeed(), largestOffset);
    const float offset = settings->previewOffset;
    camera.exposureSettings = std::move(settings);
    return offset;
}

void ExposureSelection::showChosenExposure(float largestOffset) {
    const bool manual = camera.isManualExposure.get();
    const auto offset = refreshPreviewOffset(manual, largestOffset);
    if (offset && manual) {
        camera.previewOffset = *offset;
    }
}

void ExposureSelection::offsetIndexDidChange() {
    const float bias = selectedExposureBias();
    camera.sendWillChange();
    camera.steadyExposureBias = bias;
    camera.commands_.setExposureBias(bias);
}

void ExposureSelection::sequenceModeDidChange(SequenceMode oldMode) {
    const SequenceMode mode = camera.sequenceMode.get();
    camera.exposureSequence->sequenceMode = mode;
    if (oldMode == SequenceMode::starTrails) {
        camera.commands_.setExposureMode();
        // Leaving star trails ends manual exposure, unless star trails was chosen again
        // meanwhile: its star exposure is manual and must stay so.
        camera.onMain([](CameraManager& self) {
            if (self.sequenceMode.get() != SequenceMode::starTrails) {
                self.isManualExposure = false;
            }
        });
    } else if (oldMode == SequenceMode::nightMode) {
        camera.onSession([](CameraManager& self) { self.commands_.lockWhiteBalance(); });
    }
    if (mode == SequenceMode::starTrails) {
        camera.commands_.applyStarSettings();
    } else if (mode == SequenceMode::nightMode) {
        camera.onSession([](CameraManager& self) { self.commands_.setWhiteBalance(); });
    }
    if (mode != SequenceMode::frameAveraging) {
        camera.exposureSequence->bracketEV = 0;
    }
}

void ExposureSelection::repetitionsIndexDidChange() {
    camera.exposureSequence->repetitions = int(selectedRepetitions());
}

void ExposureSelection::switchSequenceMode(int direction) {
    const SequenceMode before = camera.sequenceMode.get();
    if (const auto next = steppedMode(before, direction)) {
        camera.sequenceMode = *next;
        const auto& settings = camera.exposureSettings.get();
        if (direction == 1 && before == SequenceMode::starTrails && settings) {
            const double longest = 30 * settings->exposureLimits().maxShutterSpeedSeconds();
            if (longest >= 1) {
                platform::print(QVPhotoMath::longDurations(1, longest));
            }
        }
    }
    const SequenceMode mode = camera.sequenceMode.get();
    const std::string name(displayName(mode));
    camera.showMessage(mode == SequenceMode::nightMode ? name : name + " Mode", 1.5);
    if (mode == SequenceMode::starTrails) {
        camera.commands_.applyStarSettings();
    }
}

} // namespace qv
