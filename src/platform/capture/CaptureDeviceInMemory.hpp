#pragma once

#include "platform/capture/CaptureDevice.hpp"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace qv::platform {

// A camera held in memory, for tests: its state is whatever the test sets,
// nothing changes by itself, and it records what the app set and whether the
// app kept the rules (lock held, values in range).
class InMemoryCaptureDevice final : public CaptureDevice {
public:
    struct State {
        std::vector<CaptureDeviceFormat> formats;
        CaptureDeviceFormat activeFormat;
        float iso = 100;
        MediaTime exposureDuration = MediaTime::fromSeconds(1.0 / 60);
        float lensAperture = 1.8f;
        float exposureTargetBias = 0;
        float minExposureTargetBias = -8;
        float maxExposureTargetBias = 8;
        float exposureTargetOffset = 0;
        std::vector<FocusMode> supportedFocusModes{FocusMode::locked, FocusMode::autoFocus,
                                                   FocusMode::continuousAutoFocus};
        bool lockingFocusWithCustomLensPositionSupported = true;
    };

    InMemoryCaptureDevice();
    explicit InMemoryCaptureDevice(State initial);

    // Test set-up: the state as it is, and a change of it that needs no lock.
    State state() const;
    void setState(State next);

    // Every bias the app set, in order.
    std::vector<float> exposureTargetBiasesSet() const;
    // Changes made without holding the lock or with a value out of range; a
    // real camera refuses them.
    int misuseCount() const;
    // While set, lockForConfiguration() fails with this description.
    void setLockFailure(std::optional<std::string> description);
    // Times the lock was taken (nested locks count once each).
    int lockCount() const;

    std::vector<CaptureDeviceFormat> formats() const override;
    CaptureDeviceFormat activeFormat() const override;
    float iso() const override;
    MediaTime exposureDuration() const override;
    float lensAperture() const override;
    float exposureTargetBias() const override;
    float minExposureTargetBias() const override;
    float maxExposureTargetBias() const override;
    float exposureTargetOffset() const override;
    bool isFocusModeSupported(FocusMode mode) const override;
    bool isLockingFocusWithCustomLensPositionSupported() const override;

    ConfigurationLockResult lockForConfiguration() override;
    void unlockForConfiguration() override;
    // Applies the bias at once (limited to the range) and runs the completion
    // on the calling thread.
    void setExposureTargetBias(float bias, Completion completion = {}) override;

private:
    bool heldByCaller() const; // needs mutex

    mutable std::mutex mutex;         // guards every field below
    std::condition_variable lockFree; // signalled when the configuration lock is released
    State current;
    std::vector<float> biasesSet;
    int misuses = 0;
    int locksTaken = 0;
    std::optional<std::string> lockFailure;
    std::thread::id holder;
    int holdDepth = 0;
};

} // namespace qv::platform
