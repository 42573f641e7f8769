#pragma once

#include "platform/capture/CaptureDevice.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace qv::platform {

// A camera held in memory, for tests: its state is whatever the test sets,
// nothing changes by itself, and it records what the app set and whether the
// app kept the rules (lock held, values in range). Changes apply at once; their
// completions and observer reports run on the device's event queue, made with
// the device (under a VirtualDispatch, when the test pumps).
class InMemoryCaptureDevice final : public CaptureDevice {
public:
    struct State {
        CaptureDeviceType deviceType = CaptureDeviceType::builtInWideAngleCamera;
        std::vector<CaptureDeviceFormat> formats;
        CaptureDeviceFormat activeFormat;
        ExposureMode exposureMode = ExposureMode::continuousAutoExposure;
        std::vector<ExposureMode> supportedExposureModes{
            ExposureMode::locked, ExposureMode::autoExpose, ExposureMode::continuousAutoExposure,
            ExposureMode::custom};
        bool isAdjustingExposure = false;
        float iso = 100;
        MediaTime exposureDuration = MediaTime::fromSeconds(1.0 / 60);
        float lensAperture = 1.8f;
        float exposureTargetBias = 0;
        float minExposureTargetBias = -8;
        float maxExposureTargetBias = 8;
        float exposureTargetOffset = 0;
        FocusMode focusMode = FocusMode::continuousAutoFocus;
        std::vector<FocusMode> supportedFocusModes{FocusMode::locked, FocusMode::autoFocus,
                                                   FocusMode::continuousAutoFocus};
        bool isAdjustingFocus = false;
        float lensPosition = 1;
        PointOfInterest focusPointOfInterest;
        bool lockingFocusWithCustomLensPositionSupported = true;
        WhiteBalanceMode whiteBalanceMode = WhiteBalanceMode::continuousAutoWhiteBalance;
        std::vector<WhiteBalanceMode> supportedWhiteBalanceModes{
            WhiteBalanceMode::locked, WhiteBalanceMode::autoWhiteBalance,
            WhiteBalanceMode::continuousAutoWhiteBalance};
        WhiteBalanceGains whiteBalanceGains;
        bool lockingWhiteBalanceWithCustomDeviceGainsSupported = true;
        float maxWhiteBalanceGain = 4;
        bool lowLightBoostSupported = false;
        bool automaticallyEnablesLowLightBoostWhenAvailable = true;
        SystemPressureLevel systemPressureState = SystemPressureLevel::nominal;
    };

    InMemoryCaptureDevice();
    explicit InMemoryCaptureDevice(State initial);
    ~InMemoryCaptureDevice() override;

    // Test set-up: the state as it is, and a change of it that needs no lock. A change
    // of an observed property is reported like one the app made.
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

    CaptureDeviceType deviceType() const override;
    std::vector<CaptureDeviceFormat> formats() const override;
    CaptureDeviceFormat activeFormat() const override;
    ExposureMode exposureMode() const override;
    bool isExposureModeSupported(ExposureMode mode) const override;
    bool isAdjustingExposure() const override;
    float iso() const override;
    MediaTime exposureDuration() const override;
    float lensAperture() const override;
    float exposureTargetBias() const override;
    float minExposureTargetBias() const override;
    float maxExposureTargetBias() const override;
    float exposureTargetOffset() const override;
    FocusMode focusMode() const override;
    bool isFocusModeSupported(FocusMode mode) const override;
    bool isAdjustingFocus() const override;
    float lensPosition() const override;
    PointOfInterest focusPointOfInterest() const override;
    bool isLockingFocusWithCustomLensPositionSupported() const override;
    WhiteBalanceMode whiteBalanceMode() const override;
    bool isWhiteBalanceModeSupported(WhiteBalanceMode mode) const override;
    bool isLockingWhiteBalanceWithCustomDeviceGainsSupported() const override;
    float maxWhiteBalanceGain() const override;
    // A plain model: red 2 x T / 6500, green 1 + tint / 100, blue 2 x 6500 / T (4000 K
    // gives 1.23, 1, 3.25), not limited to the gain range.
    WhiteBalanceGains deviceWhiteBalanceGains(float temperature, float tint) const override;
    bool isLowLightBoostSupported() const override;
    bool automaticallyEnablesLowLightBoostWhenAvailable() const override;
    SystemPressureLevel systemPressureState() const override;

    ConfigurationLockResult lockForConfiguration() override;
    void unlockForConfiguration() override;
    void setExposureMode(ExposureMode mode) override;
    void setExposureModeCustom(MediaTime duration, float iso, Completion completion = {}) override;
    // Applies the bias at once (limited to the range).
    void setExposureTargetBias(float bias, Completion completion = {}) override;
    void setFocusMode(FocusMode mode) override;
    void setFocusPointOfInterest(PointOfInterest point) override;
    void setFocusModeLocked(std::optional<float> lensPosition, Completion completion = {}) override;
    void setWhiteBalanceMode(WhiteBalanceMode mode) override;
    void setWhiteBalanceModeLocked(WhiteBalanceGains gains, Completion completion = {}) override;
    void setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled) override;

    [[nodiscard]] Subscription observe(ObservedProperty property,
                                       std::function<void(const PropertyChange&)> handler) override;

private:
    template <typename T>
    T read(T State::*field) const;
    bool heldByCaller() const; // needs mutex
    // Applies an app's change under the mutex: counts a misuse when the lock is not held
    // or `inRange` is false, reports what changed and queues the completion.
    template <typename Change>
    void applyChange(bool inRange, Change change, Completion completion = {});
    void reportChanges(const State& before, const State& after); // without the mutex

    mutable std::mutex mutex;         // guards every field below but the queue and observers
    std::condition_variable lockFree; // signalled when the configuration lock is released
    State current;
    std::vector<float> biasesSet;
    int misuses = 0;
    int locksTaken = 0;
    std::optional<std::string> lockFailure;
    std::thread::id holder;
    int holdDepth = 0;

    std::array<Signal<PropertyChange>, 12> observers; // by ObservedProperty
    // Runs completions and reports; declared last, so it ends (dropping pending work,
    // waiting for a running block) before anything it uses goes.
    std::unique_ptr<DispatchQueue> events;
};

} // namespace qv::platform
