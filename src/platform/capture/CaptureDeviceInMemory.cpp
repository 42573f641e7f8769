#include "platform/capture/CaptureDeviceInMemory.hpp"

#include "platform/capture/CapturedPhotoFactory.hpp"

#include <utility>

namespace qv::platform {

InMemoryCaptureDevice::InMemoryCaptureDevice() : InMemoryCaptureDevice(State{}) {}

InMemoryCaptureDevice::InMemoryCaptureDevice(State initial) : CaptureDevice(std::move(initial)) {}

void InMemoryCaptureDevice::setState(State next) {
    update([&next](CaptureDeviceState& s) { s = std::move(next); });
}

std::vector<float> InMemoryCaptureDevice::exposureTargetBiasesSet() const {
    std::lock_guard guard(mutex);
    return biasesSet;
}

void InMemoryCaptureDevice::setFrameLevel(double level) {
    std::lock_guard guard(mutex);
    frameLevel = level;
}

void InMemoryCaptureDevice::renderFrame(const FrameExposure& exposure, FramePurpose /*purpose*/,
                                        PixelBuffer& out) const {
    SyntheticPhotoOptions pattern;
    {
        std::lock_guard guard(mutex);
        pattern.level = frameLevel;
    }
    const State s = state();
    pattern.blackLevel = s.blackLevel;
    pattern.whiteLevel = s.whiteLevel;
    pattern.seed = unsigned(exposure.start.time_since_epoch().count());
    fillSyntheticPixels(out, pattern);
}

void InMemoryCaptureDevice::exposureTargetBiasWasSet(float bias) {
    std::lock_guard guard(mutex);
    biasesSet.push_back(bias);
}

} // namespace qv::platform
