#pragma once

#include "platform/capture/CaptureDeviceProperty.hpp"
#include "platform/capture/CaptureDeviceState.hpp"
#include "platform/capture/FrameExposure.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/state/Signal.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

namespace detail {
struct CaptureDeviceCore;
struct CaptureDeviceFrames;
} // namespace detail

// The outcome of lockForConfiguration(): held, or why not.
struct ConfigurationLockResult {
    bool locked = false;
    std::string errorDescription; // empty when locked

    explicit operator bool() const { return locked; }
};

// A camera: the in-memory one of tests (InMemoryCaptureDevice) or a simulated one. This
// class holds the rules every camera keeps; the kinds differ only in how a frame looks and
// in what changes by itself from frame to frame.
//
// Reads: every read is safe from any thread and sees a consistent value; state() gives all
// of them at one moment.
//
// Configuration: a change of the settings needs the configuration lock, taken with
// lockForConfiguration() and given back with unlockForConfiguration() (or held for a scope
// by a ConfigurationLock). The lock is counted and re-entrant for its holder. The holder is
// the caller's queue (a block of a serial queue, or the main queue), else its thread, so
// under a VirtualDispatch blocks of different queues are different holders. A lock held by
// another holder is waited for at most configurationLockTimeout, then refused with a
// description; when the holder can never give it back meanwhile (another queue on the same
// thread, as under a VirtualDispatch), it is refused at once.
//
// Misuse: a change without the lock, or with a value the camera cannot take (outside its
// ranges, not finite, a mode it does not support) is what a real camera refuses by raising.
// This camera applies what it can (values clamped into range; an unsupported mode or a value
// that is not a number is ignored), counts the misuse and prints one line naming it.
//
// Completions: setExposureModeCustom(), setExposureTargetBias(), setFocusModeLocked() and
// setWhiteBalanceModeLocked() call their completion exactly once, on the device's serial
// event queue, when the first frame that started after the change ends (its end time is
// the completion's argument); at once (on that queue) when the device is not streaming
// frames; and when streaming stops, for those still pending. A device that is destroyed
// drops the completions it still holds.
//
// Observation: observe() reports changes of one property with its old and new value, only
// when the value changes, on the event queue, in the order of the changes, until the
// returned subscription is dropped (a handler already running finishes).
class CaptureDevice : public std::enable_shared_from_this<CaptureDevice> {
public:
    using Completion = std::function<void(MediaTime syncTime)>;
    using ChangeHandler = std::function<void(const CaptureDevicePropertyChange&)>;

    // For setFocusModeLocked(): keep the lens where it is.
    static constexpr float lensPositionCurrent = -1;
    // The longest lockForConfiguration() waits for another holder.
    static constexpr Seconds configurationLockTimeout{1.0};

    virtual ~CaptureDevice();
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    // Identity
    std::string uniqueID() const;
    std::string localizedName() const;
    CaptureDeviceType deviceType() const;

    // Every property at one moment.
    CaptureDeviceState state() const;

    // Formats
    std::vector<CaptureDeviceFormat> formats() const;
    CaptureDeviceFormat activeFormat() const;

    // Exposure: what the device does now
    ExposureMode exposureMode() const;
    bool isExposureModeSupported(ExposureMode mode) const;
    float iso() const;
    MediaTime exposureDuration() const;
    float lensAperture() const;
    float exposureTargetBias() const; // EV
    float minExposureTargetBias() const;
    float maxExposureTargetBias() const;
    // How far the metered exposure is from the target, in EV (negative: too dark).
    float exposureTargetOffset() const;
    bool isAdjustingExposure() const;

    // Focus
    FocusMode focusMode() const;
    bool isFocusModeSupported(FocusMode mode) const;
    bool isLockingFocusWithCustomLensPositionSupported() const;
    bool isFocusPointOfInterestSupported() const;
    CapturePoint focusPointOfInterest() const;
    float lensPosition() const; // 0 near ... 1 far
    bool isAdjustingFocus() const;

    // White balance
    WhiteBalanceMode whiteBalanceMode() const;
    bool isWhiteBalanceModeSupported(WhiteBalanceMode mode) const;
    bool isLockingWhiteBalanceWithCustomDeviceGainsSupported() const;
    WhiteBalanceGains deviceWhiteBalanceGains() const;
    float maxWhiteBalanceGain() const;
    bool isAdjustingWhiteBalance() const;
    // The gains that make a grey lit at this temperature and tint grey, for this camera's
    // sensor; they may lie outside 1...maxWhiteBalanceGain() (the caller keeps them in).
    WhiteBalanceGains deviceWhiteBalanceGains(WhiteBalanceTemperatureAndTint values) const;

    // Low light
    bool isLowLightBoostSupported() const;
    bool isLowLightBoostEnabled() const;
    bool automaticallyEnablesLowLightBoostWhenAvailable() const;

    SystemPressureState systemPressureState() const;

    // Configuration
    ConfigurationLockResult lockForConfiguration();
    void unlockForConfiguration();

    // Each of these needs the lock (see the class comment).
    void setExposureMode(ExposureMode mode);
    // Custom exposure: the duration within the active format's range, the ISO within its ISO
    // range; the mode becomes custom.
    void setExposureModeCustom(MediaTime duration, float iso, Completion completion = {});
    // The bias must lie within [minExposureTargetBias, maxExposureTargetBias].
    void setExposureTargetBias(float bias, Completion completion = {});
    void setFocusMode(FocusMode mode);
    // Within 0...1 on each axis.
    void setFocusPointOfInterest(CapturePoint point);
    // Locks the focus at a lens position in 0...1, or where it is (lensPositionCurrent).
    void setFocusModeLocked(float lensPosition, Completion completion = {});
    void setWhiteBalanceMode(WhiteBalanceMode mode);
    // Each gain within 1...maxWhiteBalanceGain(); the mode becomes locked.
    void setWhiteBalanceModeLocked(WhiteBalanceGains gains, Completion completion = {});
    // Only on a device that supports low-light boost.
    void setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled);

    // Observation (see the class comment).
    [[nodiscard]] Subscription observe(CaptureDeviceProperty property, ChangeHandler handler);

    // The serial queue on which completions and observations run.
    DispatchQueue& eventQueue();

    // Test seams
    // Changes made without the lock or with a value the camera cannot take.
    int misuseCount() const;
    // Times the lock was taken (nested locks count once each).
    int lockCount() const;
    // While set, lockForConfiguration() fails with this description.
    void setLockFailure(std::optional<std::string> description);
    // While set, no session input can be made for this device (CaptureDeviceInput::make()
    // fails with this description).
    void setInputFailure(std::optional<std::string> description);
    // How long lockForConfiguration() waits for another holder (default
    // configurationLockTimeout), so a test of the bounded wait need not wait a second.
    void setConfigurationLockTimeout(Seconds timeout);

protected:
    explicit CaptureDevice(CaptureDeviceState initial);

    // How a frame of this camera looks: renders a frame exposed as `exposure` into `out`,
    // whose size and format (Bayer, 'BGRA' or 'l64r') the caller chose. Called from any
    // thread, also from several at once; must not change the device's state.
    virtual void renderFrame(const FrameExposure& exposure, FramePurpose purpose,
                             PixelBuffer& out) const = 0;

    // What changes by itself: called on the event queue after each frame while streaming,
    // after that frame's completions ran (automatic exposure, focus and white balance).
    virtual void frameDidEnd(const FrameExposure& /*frame*/) {}
    // Called on the event queue when streaming starts or stops.
    virtual void streamingDidChange(bool /*streaming*/) {}
    // Called for every bias asked for, after it was applied (in-memory device records them).
    virtual void exposureTargetBiasWasSet(float /*bias*/) {}

    // Changes the state as the camera itself does (no lock needed); observers hear what
    // changed. Safe from any thread.
    void update(const std::function<void(CaptureDeviceState&)>& change);

private:
    friend struct detail::CaptureDeviceFrames;

    // Records a misuse and prints its line.
    void misuse(const std::string& what);
    // Runs the completion once the first frame that starts after now has ended.
    void completeAfterNextFrame(Completion completion);
    bool heldByCaller() const;
    void requireLock(const char* operation);
    void startStreaming(const std::shared_ptr<CaptureDevice>& self,
                        std::function<void(const FrameExposure&)> frameEnded);
    void stopStreaming(const std::shared_ptr<CaptureDevice>& self);
    void scheduleFrameEnd(const std::shared_ptr<CaptureDevice>& self, const FrameExposure& frame,
                          std::uint64_t generation);
    void endFrame(const std::shared_ptr<CaptureDevice>& self, const FrameExposure& frame,
                  std::uint64_t generation);

    std::shared_ptr<detail::CaptureDeviceCore> core_;
    // Declared last so it goes first: once it is gone no completion, observation or frame
    // of this device runs.
    std::unique_ptr<DispatchQueue> events_;
};

// Holds a device's configuration lock for a scope:
//   ConfigurationLock lock(device);
//   if (!lock) { print(lock.errorDescription()); return; }
class ConfigurationLock {
public:
    explicit ConfigurationLock(CaptureDevice& device);
    ~ConfigurationLock();
    ConfigurationLock(const ConfigurationLock&) = delete;
    ConfigurationLock& operator=(const ConfigurationLock&) = delete;

    explicit operator bool() const { return result.locked; }
    const std::string& errorDescription() const { return result.errorDescription; }

private:
    CaptureDevice& device;
    ConfigurationLockResult result;
};

} // namespace qv::platform
