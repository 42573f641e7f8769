#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace qv::platform;

TEST(InMemoryCaptureDevice, RecordsBiasChangesAndRunsTheCompletionOnItsQueue) {
    VirtualDispatch dispatch;
    InMemoryCaptureDevice device;
    {
        ConfigurationLock lock(device);
        ASSERT_TRUE(lock);
        int completions = 0;
        device.setExposureTargetBias(1.5f, [&] { ++completions; });
        EXPECT_EQ(completions, 0); // never inside the call
        dispatch.runUntilIdle();
        EXPECT_EQ(completions, 1);
        device.setExposureTargetBias(-0.5f);
    }
    EXPECT_EQ(device.exposureTargetBiasesSet(), (std::vector<float>{1.5f, -0.5f}));
    EXPECT_EQ(device.exposureTargetBias(), -0.5f);
    EXPECT_EQ(device.misuseCount(), 0);
    EXPECT_EQ(device.lockCount(), 1);
}

TEST(InMemoryCaptureDevice, CountsChangesWithoutTheLockOrOutOfRange) {
    InMemoryCaptureDevice device;
    device.setExposureTargetBias(1);
    EXPECT_EQ(device.misuseCount(), 1);
    {
        ConfigurationLock lock(device);
        device.setExposureTargetBias(20);
    }
    EXPECT_EQ(device.misuseCount(), 2);
    EXPECT_EQ(device.exposureTargetBias(), 8.0f); // kept within the device's range
    device.unlockForConfiguration();              // not held
    EXPECT_EQ(device.misuseCount(), 3);
}

TEST(InMemoryCaptureDevice, LockFailureIsReportedAndNothingIsHeld) {
    InMemoryCaptureDevice device;
    device.setLockFailure("Device busy");
    {
        ConfigurationLock lock(device);
        EXPECT_FALSE(lock);
        EXPECT_EQ(lock.errorDescription(), "Device busy");
    }
    EXPECT_EQ(device.misuseCount(), 0); // the failed lock is not released
    device.setLockFailure(std::nullopt);
    ConfigurationLock lock(device);
    EXPECT_TRUE(lock);
}

TEST(InMemoryCaptureDevice, LockIsReentrantForItsHolder) {
    InMemoryCaptureDevice device;
    ConfigurationLock outer(device);
    {
        ConfigurationLock inner(device);
        ASSERT_TRUE(inner);
    }
    device.setExposureTargetBias(1); // still held by the outer lock
    EXPECT_EQ(device.misuseCount(), 0);
}

TEST(InMemoryCaptureDevice, LockSerialisesConfigurationAcrossThreads) {
    InMemoryCaptureDevice device;
    std::atomic<bool> released{false};
    std::atomic<bool> sawRelease{false};
    std::thread other;
    {
        ConfigurationLock lock(device);
        other = std::thread([&] {
            ConfigurationLock second(device);
            sawRelease = released.load();
            device.setExposureTargetBias(2);
        });
        device.setExposureTargetBias(1);
        released = true;
    }
    other.join();
    EXPECT_TRUE(sawRelease);
    EXPECT_EQ(device.exposureTargetBiasesSet(), (std::vector<float>{1, 2}));
    EXPECT_EQ(device.misuseCount(), 0);
}

TEST(InMemoryCaptureDevice, ReportsTheStateItWasGiven) {
    InMemoryCaptureDevice::State state;
    state.supportedFocusModes = {FocusMode::locked};
    state.lockingFocusWithCustomLensPositionSupported = false;
    CaptureDeviceFormat format;
    format.formatDescription = "A";
    state.formats = {format};
    InMemoryCaptureDevice device(state);
    EXPECT_FALSE(device.isFocusModeSupported(FocusMode::autoFocus));
    EXPECT_TRUE(device.isFocusModeSupported(FocusMode::locked));
    EXPECT_FALSE(device.isLockingFocusWithCustomLensPositionSupported());
    ASSERT_EQ(device.formats().size(), 1u);
    state.iso = 640;
    device.setState(state);
    EXPECT_EQ(device.iso(), 640.0f);
}

TEST(InMemoryCaptureDevice, ObserversHearChangesWithOldAndNewValuesUntilDropped) {
    VirtualDispatch dispatch;
    InMemoryCaptureDevice device;
    std::vector<PropertyChange> heard;
    auto lens = device.observe(ObservedProperty::lensPosition,
                               [&](const PropertyChange& change) { heard.push_back(change); });
    auto mode = device.observe(ObservedProperty::focusMode,
                               [&](const PropertyChange& change) { heard.push_back(change); });
    {
        ConfigurationLock lock(device);
        device.setFocusModeLocked(0.25f);
        device.setFocusModeLocked(0.25f); // unchanged: nothing to report
    }
    EXPECT_TRUE(heard.empty());
    dispatch.runUntilIdle();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].property, ObservedProperty::lensPosition);
    EXPECT_EQ(heard[0].oldValue, ObservedValue(1.0f));
    EXPECT_EQ(heard[0].newValue, ObservedValue(0.25f));
    EXPECT_EQ(heard[1].oldValue, ObservedValue(FocusMode::continuousAutoFocus));
    EXPECT_EQ(heard[1].newValue, ObservedValue(FocusMode::locked));

    lens.reset();
    auto state = device.state();
    state.lensPosition = 0.5f;
    state.focusMode = FocusMode::autoFocus;
    device.setState(state); // a test's change is reported too
    dispatch.runUntilIdle();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[2].property, ObservedProperty::focusMode);
    EXPECT_EQ(device.misuseCount(), 0);
}

TEST(InMemoryCaptureDevice, KeepsLensPositionsAndGainsWithinRangeAndCountsTheMisuse) {
    VirtualDispatch dispatch;
    InMemoryCaptureDevice device;
    ConfigurationLock lock(device);
    device.setFocusModeLocked(1.5f);
    EXPECT_EQ(device.lensPosition(), 1.0f);
    const WhiteBalanceGains warm = device.deviceWhiteBalanceGains(2000, 0); // blue 6.5
    device.setWhiteBalanceModeLocked(warm);
    EXPECT_EQ(device.state().whiteBalanceGains.blueGain, device.maxWhiteBalanceGain());
    EXPECT_EQ(device.whiteBalanceMode(), WhiteBalanceMode::locked);
    EXPECT_EQ(device.misuseCount(), 2);
}
