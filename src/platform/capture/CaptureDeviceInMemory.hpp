#pragma once

#include "platform/capture/CaptureDevice.hpp"

#include <vector>

namespace qv::platform {

// A camera held in memory, for tests: its state is whatever the test sets, nothing changes by
// itself (no automatic exposure, focus or white balance), its frames are a flat grey, and it
// records what the app set. It keeps every rule of CaptureDevice (lock, misuse, completions,
// observation), so code tested against it behaves the same on a simulated camera.
// Streaming needs it to be owned by a shared_ptr (a session input holds it so).
class InMemoryCaptureDevice final : public CaptureDevice {
public:
    using State = CaptureDeviceState;

    InMemoryCaptureDevice();
    explicit InMemoryCaptureDevice(State initial);

    // Test set-up: a change of the whole state as the camera itself would make it (no lock
    // needed; observers hear what changed).
    void setState(State next);

    // Every bias the app asked for, in order, before clamping.
    std::vector<float> exposureTargetBiasesSet() const;

    // The grey of every frame, 0...1 of the sensor range above black (default 0.2).
    void setFrameLevel(double level);

private:
    void renderFrame(const FrameExposure& exposure, FramePurpose purpose,
                     PixelBuffer& out) const override;
    void exposureTargetBiasWasSet(float bias) override;

    mutable std::mutex mutex; // guards the fields below
    std::vector<float> biasesSet;
    double frameLevel = 0.2;
};

} // namespace qv::platform
