#include "platform/capture/CaptureDeviceInMemory.hpp"

#include <algorithm>
#include <utility>

namespace qv::platform {

InMemoryCaptureDevice::InMemoryCaptureDevice() : InMemoryCaptureDevice(State{}) {}

InMemoryCaptureDevice::InMemoryCaptureDevice(State initial) : current(std::move(initial)) {}

InMemoryCaptureDevice::State InMemoryCaptureDevice::state() const {
    std::lock_guard guard(mutex);
    return current;
}

void InMemoryCaptureDevice::setState(State next) {
    std::lock_guard guard(mutex);
    current = std::move(next);
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

std::vector<CaptureDeviceFormat> InMemoryCaptureDevice::formats() const {
    std::lock_guard guard(mutex);
    return current.formats;
}

CaptureDeviceFormat InMemoryCaptureDevice::activeFormat() const {
    std::lock_guard guard(mutex);
    return current.activeFormat;
}

float InMemoryCaptureDevice::iso() const {
    std::lock_guard guard(mutex);
    return current.iso;
}

MediaTime InMemoryCaptureDevice::exposureDuration() const {
    std::lock_guard guard(mutex);
    return current.exposureDuration;
}

float InMemoryCaptureDevice::lensAperture() const {
    std::lock_guard guard(mutex);
    return current.lensAperture;
}

float InMemoryCaptureDevice::exposureTargetBias() const {
    std::lock_guard guard(mutex);
    return current.exposureTargetBias;
}

float InMemoryCaptureDevice::minExposureTargetBias() const {
    std::lock_guard guard(mutex);
    return current.minExposureTargetBias;
}

float InMemoryCaptureDevice::maxExposureTargetBias() const {
    std::lock_guard guard(mutex);
    return current.maxExposureTargetBias;
}

float InMemoryCaptureDevice::exposureTargetOffset() const {
    std::lock_guard guard(mutex);
    return current.exposureTargetOffset;
}

bool InMemoryCaptureDevice::isFocusModeSupported(FocusMode mode) const {
    std::lock_guard guard(mutex);
    const auto& modes = current.supportedFocusModes;
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

bool InMemoryCaptureDevice::isLockingFocusWithCustomLensPositionSupported() const {
    std::lock_guard guard(mutex);
    return current.lockingFocusWithCustomLensPositionSupported;
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

void InMemoryCaptureDevice::setExposureTargetBias(float bias, Completion completion) {
    {
        std::lock_guard guard(mutex);
        biasesSet.push_back(bias);
        const bool inRange =
            current.minExposureTargetBias <= bias && bias <= current.maxExposureTargetBias;
        if (!heldByCaller() || !inRange) {
            ++misuses;
        }
        current.exposureTargetBias =
            std::min(current.maxExposureTargetBias, std::max(bias, current.minExposureTargetBias));
    }
    if (completion) {
        completion();
    }
}

} // namespace qv::platform
