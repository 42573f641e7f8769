#include "platform/capture/CaptureDeviceInMemory.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace qv::platform;

TEST(InMemoryCaptureDevice, RecordsBiasChangesAndRunsTheCompletion) {
    InMemoryCaptureDevice device;
    {
        ConfigurationLock lock(device);
        ASSERT_TRUE(lock);
        bool completed = false;
        device.setExposureTargetBias(1.5f, [&] { completed = true; });
        EXPECT_TRUE(completed);
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
