#include "platform/capture/CaptureDeviceInMemory.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv::platform {

namespace {

template <typename T>
bool contains(const std::vector<T>& values, T value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

ObservedValue observedValue(const InMemoryCaptureDevice::State& state, ObservedProperty property) {
    switch (property) {
    case ObservedProperty::isAdjustingFocus:
        return state.isAdjustingFocus;
    case ObservedProperty::isAdjustingExposure:
        return state.isAdjustingExposure;
    case ObservedProperty::exposureMode:
        return state.exposureMode;
    case ObservedProperty::exposureDuration:
        return state.exposureDuration;
    case ObservedProperty::iso:
        return state.iso;
    case ObservedProperty::minExposureTargetBias:
        return state.minExposureTargetBias;
    case ObservedProperty::maxExposureTargetBias:
        return state.maxExposureTargetBias;
    case ObservedProperty::exposureTargetBias:
        return state.exposureTargetBias;
    case ObservedProperty::exposureTargetOffset:
        return state.exposureTargetOffset;
    case ObservedProperty::lensPosition:
        return state.lensPosition;
    case ObservedProperty::focusMode:
        return state.focusMode;
    case ObservedProperty::systemPressureState:
        return state.systemPressureState;
    }
    return false;
}

constexpr std::array allObservedProperties{ObservedProperty::isAdjustingFocus,
                                           ObservedProperty::isAdjustingExposure,
                                           ObservedProperty::exposureMode,
                                           ObservedProperty::exposureDuration,
                                           ObservedProperty::iso,
                                           ObservedProperty::minExposureTargetBias,
                                           ObservedProperty::maxExposureTargetBias,
                                           ObservedProperty::exposureTargetBias,
                                           ObservedProperty::exposureTargetOffset,
                                           ObservedProperty::lensPosition,
                                           ObservedProperty::focusMode,
                                           ObservedProperty::systemPressureState};

bool gainInRange(float gain, float maximum) {
    return 1 <= gain && gain <= maximum;
}

} // namespace

InMemoryCaptureDevice::InMemoryCaptureDevice() : InMemoryCaptureDevice(State{}) {}

InMemoryCaptureDevice::InMemoryCaptureDevice(State initial)
    : current(std::move(initial)),
      events(std::make_unique<DispatchQueue>("in-memory camera events", QoS::userInitiated)) {}

InMemoryCaptureDevice::~InMemoryCaptureDevice() {
    events.reset(); // no report or completion runs once the device starts to go
}

InMemoryCaptureDevice::State InMemoryCaptureDevice::state() const {
    std::lock_guard guard(mutex);
    return current;
}

void InMemoryCaptureDevice::setState(State next) {
    State before;
    {
        std::lock_guard guard(mutex);
        before = std::exchange(current, next);
    }
    reportChanges(before, next);
}

std::vector<float> InMemoryCaptureDevice::exposureTargetBiasesSet() const {
    std::lock_guard guard(mutex);
    return biasesSet;
}

int InMemoryCaptureDevice::misuseCount() const {
    std::lock_guard guard(mutex);
    return misuses;
}

void InMemoryCaptureDevice::setLockFailure(std::optional<std::string> description) {
    std::lock_guard guard(mutex);
    lockFailure = std::move(description);
}

int InMemoryCaptureDevice::lockCount() const {
    std::lock_guard guard(mutex);
    return locksTaken;
}

template <typename T>
T InMemoryCaptureDevice::read(T State::*field) const {
    std::lock_guard guard(mutex);
    return current.*field;
}

std::vector<CaptureDeviceFormat> InMemoryCaptureDevice::formats() const {
    return read(&State::formats);
}

CaptureDeviceType InMemoryCaptureDevice::deviceType() const {
    return read(&State::deviceType);
}

CaptureDeviceFormat InMemoryCaptureDevice::activeFormat() const {
    return read(&State::activeFormat);
}

ExposureMode InMemoryCaptureDevice::exposureMode() const {
    return read(&State::exposureMode);
}

bool InMemoryCaptureDevice::isAdjustingExposure() const {
    return read(&State::isAdjustingExposure);
}

float InMemoryCaptureDevice::iso() const {
    return read(&State::iso);
}

MediaTime InMemoryCaptureDevice::exposureDuration() const {
    return read(&State::exposureDuration);
}

float InMemoryCaptureDevice::lensAperture() const {
    return read(&State::lensAperture);
}

float InMemoryCaptureDevice::exposureTargetBias() const {
    return read(&State::exposureTargetBias);
}

float InMemoryCaptureDevice::minExposureTargetBias() const {
    return read(&State::minExposureTargetBias);
}

float InMemoryCaptureDevice::maxExposureTargetBias() const {
    return read(&State::maxExposureTargetBias);
}

float InMemoryCaptureDevice::exposureTargetOffset() const {
    return read(&State::exposureTargetOffset);
}

FocusMode InMemoryCaptureDevice::focusMode() const {
    return read(&State::focusMode);
}

bool InMemoryCaptureDevice::isAdjustingFocus() const {
    return read(&State::isAdjustingFocus);
}

float InMemoryCaptureDevice::lensPosition() const {
    return read(&State::lensPosition);
}

PointOfInterest InMemoryCaptureDevice::focusPointOfInterest() const {
    return read(&State::focusPointOfInterest);
}

bool InMemoryCaptureDevice::isLockingFocusWithCustomLensPositionSupported() const {
    return read(&State::lockingFocusWithCustomLensPositionSupported);
}

WhiteBalanceMode InMemoryCaptureDevice::whiteBalanceMode() const {
    return read(&State::whiteBalanceMode);
}

bool InMemoryCaptureDevice::isLockingWhiteBalanceWithCustomDeviceGainsSupported() const {
    return read(&State::lockingWhiteBalanceWithCustomDeviceGainsSupported);
}

float InMemoryCaptureDevice::maxWhiteBalanceGain() const {
    return read(&State::maxWhiteBalanceGain);
}

bool InMemoryCaptureDevice::isLowLightBoostSupported() const {
    return read(&State::lowLightBoostSupported);
}

bool InMemoryCaptureDevice::automaticallyEnablesLowLightBoostWhenAvailable() const {
    return read(&State::automaticallyEnablesLowLightBoostWhenAvailable);
}

SystemPressureLevel InMemoryCaptureDevice::systemPressureState() const {
    return read(&State::systemPressureState);
}

bool InMemoryCaptureDevice::isExposureModeSupported(ExposureMode mode) const {
    std::lock_guard guard(mutex);
    return contains(current.supportedExposureModes, mode);
}

bool InMemoryCaptureDevice::isFocusModeSupported(FocusMode mode) const {
    std::lock_guard guard(mutex);
    return contains(current.supportedFocusModes, mode);
}

bool InMemoryCaptureDevice::isWhiteBalanceModeSupported(WhiteBalanceMode mode) const {
    std::lock_guard guard(mutex);
    return contains(current.supportedWhiteBalanceModes, mode);
}

WhiteBalanceGains InMemoryCaptureDevice::deviceWhiteBalanceGains(float temperature,
                                                                 float tint) const {
    return {2 * temperature / 6500, 1 + tint / 100, 2 * 6500 / temperature};
}

bool InMemoryCaptureDevice::heldByCaller() const {
    return holdDepth > 0 && holder == std::this_thread::get_id();
}

ConfigurationLockResult InMemoryCaptureDevice::lockForConfiguration() {
    std::unique_lock guard(mutex);
    if (lockFailure) {
        return {false, *lockFailure};
    }
    if (!heldByCaller()) {
        lockFree.wait(guard, [this] { return holdDepth == 0; });
        holder = std::this_thread::get_id();
    }
    ++holdDepth;
    ++locksTaken;
    return {true, {}};
}

void InMemoryCaptureDevice::unlockForConfiguration() {
    std::lock_guard guard(mutex);
    if (!heldByCaller()) {
        ++misuses;
        return;
    }
    if (--holdDepth == 0) {
        holder = {};
        lockFree.notify_all();
    }
}

template <typename Change>
void InMemoryCaptureDevice::applyChange(bool inRange, Change change, Completion completion) {
    State before;
    State after;
    {
        std::lock_guard guard(mutex);
        if (!heldByCaller() || !inRange) {
            ++misuses;
        }
        before = current;
        change(current);
        after = current;
    }
    reportChanges(before, after);
    if (completion) {
        events->async(std::move(completion));
    }
}

void InMemoryCaptureDevice::setExposureMode(ExposureMode mode) {
    applyChange(isExposureModeSupported(mode), [mode](State& s) { s.exposureMode = mode; });
}

void InMemoryCaptureDevice::setExposureModeCustom(MediaTime duration, float newISO,
                                                  Completion completion) {
    const CaptureDeviceFormat format = activeFormat();
    const bool limited = format.minISO < format.maxISO; // a format without limits takes any
    const bool inRange = !limited || (format.minISO <= newISO && newISO <= format.maxISO &&
                                      format.minExposureDuration <= duration &&
                                      duration <= format.maxExposureDuration);
    applyChange(
        inRange,
        [&](State& s) {
            s.exposureMode = ExposureMode::custom;
            s.iso = limited ? std::clamp(newISO, format.minISO, format.maxISO) : newISO;
            s.exposureDuration = limited ? std::clamp(duration, format.minExposureDuration,
                                                      format.maxExposureDuration)
                                         : duration;
        },
        std::move(completion));
}

void InMemoryCaptureDevice::setExposureTargetBias(float bias, Completion completion) {
    {
        std::lock_guard guard(mutex);
        biasesSet.push_back(bias);
    }
    const float low = minExposureTargetBias();
    const float high = maxExposureTargetBias();
    applyChange(
        low <= bias && bias <= high,
        [&](State& s) { s.exposureTargetBias = std::min(high, std::max(bias, low)); },
        std::move(completion));
}

void InMemoryCaptureDevice::setFocusMode(FocusMode mode) {
    applyChange(isFocusModeSupported(mode), [mode](State& s) { s.focusMode = mode; });
}

void InMemoryCaptureDevice::setFocusPointOfInterest(PointOfInterest point) {
    const bool inRange = 0 <= point.x && point.x <= 1 && 0 <= point.y && point.y <= 1;
    applyChange(inRange, [&](State& s) {
        s.focusPointOfInterest = {std::clamp(point.x, 0.0, 1.0), std::clamp(point.y, 0.0, 1.0)};
    });
}

void InMemoryCaptureDevice::setFocusModeLocked(std::optional<float> position,
                                               Completion completion) {
    const bool inRange =
        isLockingFocusWithCustomLensPositionSupported() &&
        (!position || (std::isfinite(*position) && 0 <= *position && *position <= 1));
    applyChange(
        inRange,
        [&](State& s) {
            s.focusMode = FocusMode::locked;
            if (position && std::isfinite(*position)) {
                s.lensPosition = std::clamp(*position, 0.0f, 1.0f);
            }
        },
        std::move(completion));
}

void InMemoryCaptureDevice::setWhiteBalanceMode(WhiteBalanceMode mode) {
    applyChange(isWhiteBalanceModeSupported(mode), [mode](State& s) { s.whiteBalanceMode = mode; });
}

void InMemoryCaptureDevice::setWhiteBalanceModeLocked(WhiteBalanceGains gains,
                                                      Completion completion) {
    const float maximum = maxWhiteBalanceGain();
    const bool inRange = isLockingWhiteBalanceWithCustomDeviceGainsSupported() &&
                         gainInRange(gains.redGain, maximum) &&
                         gainInRange(gains.greenGain, maximum) &&
                         gainInRange(gains.blueGain, maximum);
    const auto limit = [maximum](float gain) { return std::min(maximum, std::max(gain, 1.0f)); };
    applyChange(
        inRange,
        [&](State& s) {
            s.whiteBalanceMode = WhiteBalanceMode::locked;
            s.whiteBalanceGains = {limit(gains.redGain), limit(gains.greenGain),
                                   limit(gains.blueGain)};
        },
        std::move(completion));
}

void InMemoryCaptureDevice::setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled) {
    applyChange(isLowLightBoostSupported(), [enabled](State& s) {
        s.automaticallyEnablesLowLightBoostWhenAvailable = enabled;
    });
}

Subscription InMemoryCaptureDevice::observe(ObservedProperty property,
                                            std::function<void(const PropertyChange&)> handler) {
    return observers[std::size_t(property)].subscribe(std::move(handler));
}

void InMemoryCaptureDevice::reportChanges(const State& before, const State& after) {
    for (const ObservedProperty property : allObservedProperties) {
        ObservedValue oldValue = observedValue(before, property);
        ObservedValue newValue = observedValue(after, property);
        if (oldValue == newValue) {
            continue;
        }
        events->async([this, change = PropertyChange{property, oldValue, newValue}] {
            observers[std::size_t(change.property)].send(change);
        });
    }
}

} // namespace qv::platform
