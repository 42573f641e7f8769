#include "platform/capture/CaptureDevice.hpp"

#include "platform/capture/detail/CaptureDeviceFrames.hpp"
#include "platform/capture/detail/WhiteBalance.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace qv::platform {

namespace detail {

struct CaptureDeviceCore {
    struct PendingCompletion {
        std::uint64_t afterFrame; // runs when a later frame ends
        CaptureDevice::Completion completion;
    };

    mutable std::mutex mutex; // guards every field below
    std::condition_variable lockFree;
    CaptureDeviceState state;

    std::optional<Caller> holder;
    int holdDepth = 0;
    int locksTaken = 0;
    int misuses = 0;
    std::optional<std::string> lockFailure;
    std::optional<std::string> inputFailure;
    Seconds lockTimeout = CaptureDevice::configurationLockTimeout;

    bool streaming = false;
    std::uint64_t streamGeneration = 0; // a frame timer of an older stream does nothing
    std::uint64_t frameIndex = 0;       // the frame in progress
    std::function<void(const FrameExposure&)> frameSink;
    CancelToken frameTimer;
    std::vector<PendingCompletion> pending;

    // Handlers per property; sent on the event queue only.
    std::array<Signal<CaptureDevicePropertyChange>, captureDevicePropertyCount> observers;
};

} // namespace detail

namespace {

using Property = CaptureDeviceProperty;

template <class T>
bool contains(const std::vector<T>& values, T value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The value of one observable property in a state.
CaptureDevicePropertyValue valueOf(const CaptureDeviceState& s, Property p) {
    switch (p) {
    case Property::isAdjustingFocus:
        return s.isAdjustingFocus;
    case Property::isAdjustingExposure:
        return s.isAdjustingExposure;
    case Property::isAdjustingWhiteBalance:
        return s.isAdjustingWhiteBalance;
    case Property::exposureMode:
        return s.exposureMode;
    case Property::exposureDuration:
        return s.exposureDuration;
    case Property::iso:
        return s.iso;
    case Property::minExposureTargetBias:
        return s.minExposureTargetBias;
    case Property::maxExposureTargetBias:
        return s.maxExposureTargetBias;
    case Property::exposureTargetBias:
        return s.exposureTargetBias;
    case Property::exposureTargetOffset:
        return s.exposureTargetOffset;
    case Property::lensPosition:
        return s.lensPosition;
    case Property::focusMode:
        return s.focusMode;
    case Property::focusPointOfInterest:
        return s.focusPointOfInterest;
    case Property::whiteBalanceMode:
        return s.whiteBalanceMode;
    case Property::deviceWhiteBalanceGains:
        return s.deviceWhiteBalanceGains;
    case Property::lowLightBoostEnabled:
        return s.lowLightBoostEnabled;
    case Property::systemPressureState:
        return s.systemPressureState;
    }
    return false;
}

std::vector<CaptureDevicePropertyChange> changesBetween(const CaptureDeviceState& before,
                                                        const CaptureDeviceState& after) {
    std::vector<CaptureDevicePropertyChange> changes;
    for (int i = 0; i < captureDevicePropertyCount; ++i) {
        const auto p = Property(i);
        CaptureDevicePropertyValue old = valueOf(before, p);
        CaptureDevicePropertyValue now = valueOf(after, p);
        if (!(old == now)) {
            changes.push_back({p, std::move(old), std::move(now)});
        }
    }
    return changes;
}

// The length of a frame: the exposure, but at most 30 frames a second.
std::chrono::nanoseconds frameLength(const FrameExposure& frame) {
    return nanosecondsFrom(Seconds(std::max(frame.durationSeconds, 1.0 / 30)));
}

FrameExposure exposureOf(const CaptureDeviceState& s, MonotonicTime start, WallTime wallStart) {
    FrameExposure frame;
    const double seconds = s.exposureDuration.seconds();
    frame.durationSeconds = std::isfinite(seconds) && seconds > 0 ? seconds : 1.0 / 60;
    frame.iso = s.iso;
    frame.lensPosition = s.lensPosition;
    frame.whiteBalanceGains = s.deviceWhiteBalanceGains;
    frame.start = start;
    frame.wallStart = wallStart;
    return frame;
}

std::string rangeText(double low, double high) {
    return describe(low) + "..." + describe(high);
}

} // namespace

CaptureDevice::CaptureDevice(CaptureDeviceState initial)
    : core_(std::make_shared<detail::CaptureDeviceCore>()),
      events_(std::make_unique<DispatchQueue>("capture device events", QoS::userInitiated)) {
    core_->state = std::move(initial);
}

CaptureDevice::~CaptureDevice() {
    events_.reset();
}

CaptureDeviceState CaptureDevice::state() const {
    std::lock_guard guard(core_->mutex);
    return core_->state;
}

#define QV_DEVICE_READ(type, name, expression)                                                     \
    type CaptureDevice::name() const {                                                             \
        std::lock_guard guard(core_->mutex);                                                       \
        const CaptureDeviceState& s = core_->state;                                                \
        return expression;                                                                         \
    }

QV_DEVICE_READ(std::string, uniqueID, s.uniqueID)
QV_DEVICE_READ(std::string, localizedName, s.localizedName)
QV_DEVICE_READ(CaptureDeviceType, deviceType, s.deviceType)
QV_DEVICE_READ(std::vector<CaptureDeviceFormat>, formats, s.formats)
QV_DEVICE_READ(CaptureDeviceFormat, activeFormat, s.activeFormat)
QV_DEVICE_READ(ExposureMode, exposureMode, s.exposureMode)
QV_DEVICE_READ(float, iso, s.iso)
QV_DEVICE_READ(MediaTime, exposureDuration, s.exposureDuration)
QV_DEVICE_READ(float, lensAperture, s.lensAperture)
QV_DEVICE_READ(float, exposureTargetBias, s.exposureTargetBias)
QV_DEVICE_READ(float, minExposureTargetBias, s.minExposureTargetBias)
QV_DEVICE_READ(float, maxExposureTargetBias, s.maxExposureTargetBias)
QV_DEVICE_READ(float, exposureTargetOffset, s.exposureTargetOffset)
QV_DEVICE_READ(bool, isAdjustingExposure, s.isAdjustingExposure)
QV_DEVICE_READ(FocusMode, focusMode, s.focusMode)
QV_DEVICE_READ(bool, isLockingFocusWithCustomLensPositionSupported,
               s.lockingFocusWithCustomLensPositionSupported)
QV_DEVICE_READ(bool, isFocusPointOfInterestSupported, s.focusPointOfInterestSupported)
QV_DEVICE_READ(CapturePoint, focusPointOfInterest, s.focusPointOfInterest)
QV_DEVICE_READ(float, lensPosition, s.lensPosition)
QV_DEVICE_READ(bool, isAdjustingFocus, s.isAdjustingFocus)
QV_DEVICE_READ(WhiteBalanceMode, whiteBalanceMode, s.whiteBalanceMode)
QV_DEVICE_READ(bool, isLockingWhiteBalanceWithCustomDeviceGainsSupported,
               s.lockingWhiteBalanceWithCustomDeviceGainsSupported)
QV_DEVICE_READ(WhiteBalanceGains, deviceWhiteBalanceGains, s.deviceWhiteBalanceGains)
QV_DEVICE_READ(float, maxWhiteBalanceGain, s.maxWhiteBalanceGain)
QV_DEVICE_READ(bool, isAdjustingWhiteBalance, s.isAdjustingWhiteBalance)
QV_DEVICE_READ(bool, isLowLightBoostSupported, s.lowLightBoostSupported)
QV_DEVICE_READ(bool, isLowLightBoostEnabled, s.lowLightBoostEnabled)
QV_DEVICE_READ(bool, automaticallyEnablesLowLightBoostWhenAvailable,
               s.automaticallyEnablesLowLightBoostWhenAvailable)
QV_DEVICE_READ(SystemPressureState, systemPressureState, s.systemPressureState)

#undef QV_DEVICE_READ

bool CaptureDevice::isExposureModeSupported(ExposureMode mode) const {
    std::lock_guard guard(core_->mutex);
    return contains(core_->state.supportedExposureModes, mode);
}

bool CaptureDevice::isFocusModeSupported(FocusMode mode) const {
    std::lock_guard guard(core_->mutex);
    return contains(core_->state.supportedFocusModes, mode);
}

bool CaptureDevice::isWhiteBalanceModeSupported(WhiteBalanceMode mode) const {
    std::lock_guard guard(core_->mutex);
    return contains(core_->state.supportedWhiteBalanceModes, mode);
}

WhiteBalanceGains
CaptureDevice::deviceWhiteBalanceGains(WhiteBalanceTemperatureAndTint values) const {
    return detail::whiteBalanceGainsFor(values);
}

// Configuration lock

bool CaptureDevice::heldByCaller() const {
    return core_->holdDepth > 0 && core_->holder->isSameAs(currentCaller());
}

ConfigurationLockResult CaptureDevice::lockForConfiguration() {
    const Caller caller = currentCaller();
    std::unique_lock guard(core_->mutex);
    detail::CaptureDeviceCore& c = *core_;
    if (c.lockFailure) {
        return {false, *c.lockFailure};
    }
    if (c.holdDepth > 0 && !c.holder->isSameAs(caller)) {
        const std::string busy = "Cannot lock " + c.state.localizedName +
                                 " for configuration: another caller holds the lock";
        if (c.holder->thread == caller.thread) {
            // The holder runs on this very thread (another queue under a VirtualDispatch):
            // it cannot give the lock back while we wait.
            return {false, busy};
        }
        if (!c.lockFree.wait_for(guard, c.lockTimeout, [&c] { return c.holdDepth == 0; })) {
            return {false, busy + " (waited " + describe(c.lockTimeout.count()) + " s)"};
        }
    }
    if (c.holdDepth == 0) {
        c.holder = caller;
    }
    ++c.holdDepth;
    ++c.locksTaken;
    return {true, {}};
}

void CaptureDevice::unlockForConfiguration() {
    {
        std::lock_guard guard(core_->mutex);
        if (heldByCaller()) {
            if (--core_->holdDepth == 0) {
                core_->holder.reset();
                core_->lockFree.notify_all();
            }
            return;
        }
    }
    misuse("unlockForConfiguration() without holding the lock");
}

void CaptureDevice::requireLock(const char* operation) {
    bool held = false;
    {
        std::lock_guard guard(core_->mutex);
        held = heldByCaller();
    }
    if (!held) {
        misuse(std::string(operation) + " without the configuration lock");
    }
}

void CaptureDevice::misuse(const std::string& what) {
    std::string name;
    {
        std::lock_guard guard(core_->mutex);
        ++core_->misuses;
        name = core_->state.localizedName;
    }
    print(name + ":", what);
}

// Settings

void CaptureDevice::setExposureMode(ExposureMode mode) {
    requireLock("setExposureMode()");
    if (!isExposureModeSupported(mode)) {
        misuse("exposure mode " + describe(int(mode)) + " is not supported; ignored");
        return;
    }
    update([mode](CaptureDeviceState& s) { s.exposureMode = mode; });
}

void CaptureDevice::setExposureModeCustom(MediaTime duration, float isoValue,
                                          Completion completion) {
    requireLock("setExposureModeCustom()");
    const CaptureDeviceFormat format = activeFormat();
    MediaTime applied = duration;
    if (!duration.isValid() || !(duration.seconds() > 0)) {
        misuse("exposure duration is not a valid time; kept as it was");
        applied = exposureDuration();
    } else if (duration < format.minExposureDuration || format.maxExposureDuration < duration) {
        misuse(
            "exposure duration " + describe(duration.seconds()) + " s outside " +
            rangeText(format.minExposureDuration.seconds(), format.maxExposureDuration.seconds()) +
            " s; clamped");
        applied = duration < format.minExposureDuration ? format.minExposureDuration
                                                        : format.maxExposureDuration;
    }
    float appliedISO = isoValue;
    if (!std::isfinite(isoValue)) {
        misuse("ISO is not a number; kept as it was");
        appliedISO = iso();
    } else if (isoValue < format.minISO || isoValue > format.maxISO) {
        misuse("ISO " + describe(isoValue) + " outside " + rangeText(format.minISO, format.maxISO) +
               "; clamped");
        appliedISO = std::clamp(isoValue, format.minISO, format.maxISO);
    }
    update([&](CaptureDeviceState& s) {
        s.exposureMode = ExposureMode::custom;
        s.exposureDuration = applied;
        s.iso = appliedISO;
    });
    completeAfterNextFrame(std::move(completion));
}

void CaptureDevice::setExposureTargetBias(float bias, Completion completion) {
    requireLock("setExposureTargetBias()");
    float low = 0;
    float high = 0;
    {
        std::lock_guard guard(core_->mutex);
        low = core_->state.minExposureTargetBias;
        high = core_->state.maxExposureTargetBias;
    }
    float applied = bias;
    if (!std::isfinite(bias)) {
        misuse("exposure target bias is not a number; kept as it was");
        applied = exposureTargetBias();
    } else if (bias < low || bias > high) {
        misuse("exposure target bias " + describe(bias) + " outside " + rangeText(low, high) +
               "; clamped");
        applied = std::clamp(bias, low, high);
    }
    update([applied](CaptureDeviceState& s) { s.exposureTargetBias = applied; });
    exposureTargetBiasWasSet(bias);
    completeAfterNextFrame(std::move(completion));
}

void CaptureDevice::setFocusMode(FocusMode mode) {
    requireLock("setFocusMode()");
    if (!isFocusModeSupported(mode)) {
        misuse("focus mode " + describe(int(mode)) + " is not supported; ignored");
        return;
    }
    update([mode](CaptureDeviceState& s) { s.focusMode = mode; });
}

void CaptureDevice::setFocusPointOfInterest(CapturePoint point) {
    requireLock("setFocusPointOfInterest()");
    if (!isFocusPointOfInterestSupported()) {
        misuse("focus point of interest is not supported; ignored");
        return;
    }
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
        misuse("focus point of interest is not a point; ignored");
        return;
    }
    CapturePoint applied{std::clamp(point.x, 0.0, 1.0), std::clamp(point.y, 0.0, 1.0)};
    if (!(applied == point)) {
        misuse("focus point of interest (" + describe(point.x) + ", " + describe(point.y) +
               ") outside 0...1; clamped");
    }
    update([applied](CaptureDeviceState& s) { s.focusPointOfInterest = applied; });
}

void CaptureDevice::setFocusModeLocked(float position, Completion completion) {
    requireLock("setFocusModeLocked()");
    if (!isFocusModeSupported(FocusMode::locked)) {
        misuse("locked focus is not supported; ignored");
    } else if (position == lensPositionCurrent) {
        update([](CaptureDeviceState& s) { s.focusMode = FocusMode::locked; });
    } else if (!isLockingFocusWithCustomLensPositionSupported()) {
        misuse("locking focus at a lens position is not supported; ignored");
    } else {
        float applied = position;
        if (!std::isfinite(position)) {
            misuse("lens position is not a number; kept as it was");
            applied = lensPosition();
        } else if (position < 0 || position > 1) {
            misuse("lens position " + describe(position) + " outside 0...1; clamped");
            applied = std::clamp(position, 0.0f, 1.0f);
        }
        update([applied](CaptureDeviceState& s) {
            s.focusMode = FocusMode::locked;
            s.lensPosition = applied;
            s.isAdjustingFocus = false;
        });
    }
    completeAfterNextFrame(std::move(completion));
}

void CaptureDevice::setWhiteBalanceMode(WhiteBalanceMode mode) {
    requireLock("setWhiteBalanceMode()");
    if (!isWhiteBalanceModeSupported(mode)) {
        misuse("white balance mode " + describe(int(mode)) + " is not supported; ignored");
        return;
    }
    update([mode](CaptureDeviceState& s) { s.whiteBalanceMode = mode; });
}

void CaptureDevice::setWhiteBalanceModeLocked(WhiteBalanceGains gains, Completion completion) {
    requireLock("setWhiteBalanceModeLocked()");
    if (!isLockingWhiteBalanceWithCustomDeviceGainsSupported()) {
        misuse("locking white balance with custom gains is not supported; ignored");
    } else {
        const float largest = maxWhiteBalanceGain();
        const auto inRange = [largest](float g) { return g >= 1 && g <= largest; };
        WhiteBalanceGains applied = gains;
        if (!inRange(gains.redGain) || !inRange(gains.greenGain) || !inRange(gains.blueGain)) {
            misuse("white balance gains (" + describe(gains.redGain) + ", " +
                   describe(gains.greenGain) + ", " + describe(gains.blueGain) + ") outside " +
                   rangeText(1, largest) + "; clamped");
            const auto clamp = [largest](float g) {
                return std::isfinite(g) ? std::clamp(g, 1.0f, largest) : 1.0f;
            };
            applied = {clamp(gains.redGain), clamp(gains.greenGain), clamp(gains.blueGain)};
        }
        update([applied](CaptureDeviceState& s) {
            s.whiteBalanceMode = WhiteBalanceMode::locked;
            s.deviceWhiteBalanceGains = applied;
            s.isAdjustingWhiteBalance = false;
        });
    }
    completeAfterNextFrame(std::move(completion));
}

void CaptureDevice::setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled) {
    requireLock("setAutomaticallyEnablesLowLightBoostWhenAvailable()");
    if (!isLowLightBoostSupported()) {
        misuse("low-light boost is not supported; ignored");
        return;
    }
    update([enabled](CaptureDeviceState& s) {
        s.automaticallyEnablesLowLightBoostWhenAvailable = enabled;
        if (!enabled) {
            s.lowLightBoostEnabled = false;
        }
    });
}

// Observation

Subscription CaptureDevice::observe(CaptureDeviceProperty property, ChangeHandler handler) {
    return core_->observers[std::size_t(property)].subscribe(std::move(handler));
}

DispatchQueue& CaptureDevice::eventQueue() {
    return *events_;
}

void CaptureDevice::update(const std::function<void(CaptureDeviceState&)>& change) {
    std::vector<CaptureDevicePropertyChange> changes;
    {
        std::lock_guard guard(core_->mutex);
        const CaptureDeviceState before = core_->state;
        change(core_->state);
        changes = changesBetween(before, core_->state);
    }
    if (!changes.empty() && events_) {
        events_->async([core = core_, changes = std::move(changes)] {
            for (const CaptureDevicePropertyChange& c : changes) {
                core->observers[std::size_t(c.property)].send(c);
            }
        });
    }
}

// Completions and frames

void CaptureDevice::completeAfterNextFrame(Completion completion) {
    if (!completion) {
        return;
    }
    {
        std::lock_guard guard(core_->mutex);
        if (core_->streaming) {
            core_->pending.push_back({core_->frameIndex, std::move(completion)});
            return;
        }
    }
    events_->async(
        [completion = std::move(completion)] { completion(monotonicMediaTime(monotonicNow())); });
}

void CaptureDevice::startStreaming(const std::shared_ptr<CaptureDevice>& self,
                                   std::function<void(const FrameExposure&)> frameEnded) {
    FrameExposure first;
    std::uint64_t generation = 0;
    {
        std::lock_guard guard(core_->mutex);
        if (core_->streaming) {
            core_->frameSink = std::move(frameEnded);
            return;
        }
        core_->streaming = true;
        core_->frameSink = std::move(frameEnded);
        ++core_->frameIndex;
        first = exposureOf(core_->state, monotonicNow(), wallNow());
        generation = core_->streamGeneration;
    }
    events_->async([weak = std::weak_ptr(self)] {
        if (const auto device = weak.lock()) {
            device->streamingDidChange(true);
        }
    });
    scheduleFrameEnd(self, first, generation);
}

void CaptureDevice::stopStreaming(const std::shared_ptr<CaptureDevice>& self) {
    std::vector<detail::CaptureDeviceCore::PendingCompletion> pending;
    {
        std::lock_guard guard(core_->mutex);
        if (!core_->streaming) {
            return;
        }
        core_->streaming = false;
        ++core_->streamGeneration;
        core_->frameSink = {};
        core_->frameTimer.cancel();
        pending.swap(core_->pending);
    }
    events_->async([weak = std::weak_ptr(self), pending = std::move(pending)] {
        const MediaTime now = monotonicMediaTime(monotonicNow());
        for (const auto& p : pending) {
            p.completion(now);
        }
        if (const auto device = weak.lock()) {
            device->streamingDidChange(false);
        }
    });
}

void CaptureDevice::scheduleFrameEnd(const std::shared_ptr<CaptureDevice>& self,
                                     const FrameExposure& frame, std::uint64_t generation) {
    // The timer holds the device weakly: a device that is gone has no more frames. One
    // whose last owner lets go while a frame ends is destroyed inside this block, which its
    // event queue allows.
    auto end = [weak = std::weak_ptr(self), frame, generation] {
        if (const auto device = weak.lock()) {
            device->endFrame(device, frame, generation);
        }
    };
    std::lock_guard guard(core_->mutex);
    if (core_->streaming && core_->streamGeneration == generation) {
        core_->frameTimer = events_->asyncAt(frame.start + frameLength(frame), std::move(end));
    }
}

void CaptureDevice::endFrame(const std::shared_ptr<CaptureDevice>& self, const FrameExposure& frame,
                             std::uint64_t generation) {
    std::vector<detail::CaptureDeviceCore::PendingCompletion> due;
    std::function<void(const FrameExposure&)> sink;
    const MonotonicTime end = frame.start + frameLength(frame);
    {
        std::lock_guard guard(core_->mutex);
        if (!core_->streaming || core_->streamGeneration != generation) {
            return;
        }
        const std::uint64_t ended = core_->frameIndex;
        auto& pending = core_->pending;
        const auto firstLater =
            std::stable_partition(pending.begin(), pending.end(),
                                  [ended](const auto& p) { return p.afterFrame < ended; });
        std::move(pending.begin(), firstLater, std::back_inserter(due));
        pending.erase(pending.begin(), firstLater);
        sink = core_->frameSink;
    }
    for (const auto& p : due) {
        p.completion(monotonicMediaTime(end));
    }
    frameDidEnd(frame);
    if (sink) {
        sink(frame);
    }
    FrameExposure next;
    {
        std::lock_guard guard(core_->mutex);
        if (!core_->streaming || core_->streamGeneration != generation) {
            return;
        }
        ++core_->frameIndex;
        next = exposureOf(core_->state, end, frame.wallStart + (end - frame.start));
    }
    scheduleFrameEnd(self, next, generation);
}

// Test seams

int CaptureDevice::misuseCount() const {
    std::lock_guard guard(core_->mutex);
    return core_->misuses;
}

int CaptureDevice::lockCount() const {
    std::lock_guard guard(core_->mutex);
    return core_->locksTaken;
}

void CaptureDevice::setLockFailure(std::optional<std::string> description) {
    std::lock_guard guard(core_->mutex);
    core_->lockFailure = std::move(description);
}

void CaptureDevice::setInputFailure(std::optional<std::string> description) {
    std::lock_guard guard(core_->mutex);
    core_->inputFailure = std::move(description);
}

void CaptureDevice::setConfigurationLockTimeout(Seconds timeout) {
    std::lock_guard guard(core_->mutex);
    core_->lockTimeout = timeout;
}

// Access for the session and outputs

namespace detail {

void CaptureDeviceFrames::startStreaming(const std::shared_ptr<CaptureDevice>& device,
                                         std::function<void(const FrameExposure&)> frameEnded) {
    device->startStreaming(device, std::move(frameEnded));
}

void CaptureDeviceFrames::stopStreaming(const std::shared_ptr<CaptureDevice>& device) {
    device->stopStreaming(device);
}

void CaptureDeviceFrames::render(const CaptureDevice& device, const FrameExposure& exposure,
                                 FramePurpose purpose, PixelBuffer& out) {
    device.renderFrame(exposure, purpose, out);
}

FrameExposure CaptureDeviceFrames::exposureNow(const CaptureDevice& device) {
    return exposureOf(device.state(), monotonicNow(), wallNow());
}

std::optional<std::string> CaptureDeviceFrames::inputFailure(const CaptureDevice& device) {
    std::lock_guard guard(device.core_->mutex);
    return device.core_->inputFailure;
}

} // namespace detail

ConfigurationLock::ConfigurationLock(CaptureDevice& d)
    : device(d), result(d.lockForConfiguration()) {}

ConfigurationLock::~ConfigurationLock() {
    if (result.locked) {
        device.unlockForConfiguration();
    }
}

} // namespace qv::platform
