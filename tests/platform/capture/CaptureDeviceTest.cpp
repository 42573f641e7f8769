// The rules every camera keeps, checked on each kind of camera: the configuration lock,
// misuse, completions and observation.
#include "CaptureDeviceKinds.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace qv::platform {
namespace {

template <class Kind>
class CaptureDeviceContract : public ::testing::Test {
protected:
    VirtualDispatch dispatch; // made first: the device's queues are virtual
    std::shared_ptr<CaptureDevice> device = Kind::make();

    // Runs the device in a session, as the app does.
    std::shared_ptr<CaptureSession> stream() {
        auto session = std::make_shared<CaptureSession>();
        session->addInput(CaptureDeviceInput::make(device));
        session->startRunning();
        return session;
    }
};

TYPED_TEST_SUITE(CaptureDeviceContract, CaptureDeviceKinds, CaptureDeviceKindNames);

TYPED_TEST(CaptureDeviceContract, LockIsReentrantForItsHolderAndChangesNeedIt) {
    CaptureDevice& d = *this->device;
    ConsoleCapture console;
    {
        ConfigurationLock outer(d);
        ASSERT_TRUE(outer);
        {
            ConfigurationLock inner(d);
            ASSERT_TRUE(inner);
        }
        d.setExposureTargetBias(1); // still held by the outer lock
    }
    EXPECT_EQ(d.misuseCount(), 0);
    EXPECT_EQ(d.lockCount(), 2);

    d.setExposureTargetBias(2); // no lock: applied, counted, one line
    d.unlockForConfiguration(); // not held
    EXPECT_EQ(d.misuseCount(), 2);
    EXPECT_EQ(d.exposureTargetBias(), 2.0f);
    EXPECT_NE(console.text().find("setExposureTargetBias() without the configuration lock"),
              std::string::npos);
}

TYPED_TEST(CaptureDeviceContract, ValuesTheCameraCannotTakeAreClampedAndCounted) {
    CaptureDevice& d = *this->device;
    ConsoleCapture console;
    ConfigurationLock lock(d);
    const CaptureDeviceFormat format = d.activeFormat();
    d.setExposureTargetBias(20);
    EXPECT_EQ(d.exposureTargetBias(), d.maxExposureTargetBias());
    d.setFocusModeLocked(1.5f);
    EXPECT_EQ(d.lensPosition(), 1.0f);
    d.setFocusModeLocked(std::nanf(""));
    EXPECT_EQ(d.lensPosition(), 1.0f); // not a number: kept
    d.setExposureModeCustom(MediaTime::fromSeconds(1000), format.maxISO * 10);
    EXPECT_EQ(d.exposureDuration(), format.maxExposureDuration);
    EXPECT_EQ(d.iso(), format.maxISO);
    d.setWhiteBalanceModeLocked({0.5f, 1, d.maxWhiteBalanceGain() + 3});
    EXPECT_EQ(d.deviceWhiteBalanceGains(), (WhiteBalanceGains{1, 1, d.maxWhiteBalanceGain()}));
    EXPECT_EQ(d.misuseCount(), 6); // the custom exposure counts its duration and its ISO
    EXPECT_EQ(d.exposureMode(), ExposureMode::custom);
    EXPECT_EQ(d.whiteBalanceMode(), WhiteBalanceMode::locked);
    EXPECT_NE(console.text().find("outside 1.0..."), std::string::npos);
}

TYPED_TEST(CaptureDeviceContract, LockHeldByAnotherQueueIsRefusedInsteadOfHanging) {
    // A queue takes the lock and never gives it back; the main queue's lock must not hang.
    auto session = std::make_shared<DispatchQueue>("PhotoSession");
    session->async([this] { this->device->lockForConfiguration(); });
    this->dispatch.runUntilIdle();
    ConfigurationLockResult second;
    DispatchQueue::main().async([&] { second = this->device->lockForConfiguration(); });
    this->dispatch.runUntilIdle();
    EXPECT_FALSE(second);
    EXPECT_NE(second.errorDescription.find("another caller holds the lock"), std::string::npos);
    // Its holder still has it, re-entrantly.
    ConfigurationLockResult again;
    session->async([&] { again = this->device->lockForConfiguration(); });
    this->dispatch.runUntilIdle();
    EXPECT_TRUE(again);
}

TYPED_TEST(CaptureDeviceContract, LockFailureSwitchRefusesWithItsDescription) {
    CaptureDevice& d = *this->device;
    d.setLockFailure("Device busy");
    {
        ConfigurationLock lock(d);
        EXPECT_FALSE(lock);
        EXPECT_EQ(lock.errorDescription(), "Device busy");
    }
    EXPECT_EQ(d.misuseCount(), 0); // a failed lock is not released
    d.setLockFailure(std::nullopt);
    EXPECT_TRUE(ConfigurationLock(d));
}

TYPED_TEST(CaptureDeviceContract, CompletionRunsOnceOnTheEventQueueWhenNotStreaming) {
    CaptureDevice& d = *this->device;
    int calls = 0;
    bool onEventQueue = false;
    {
        ConfigurationLock lock(d);
        d.setFocusModeLocked(CaptureDevice::lensPositionCurrent, [&](MediaTime) {
            ++calls;
            onEventQueue = d.eventQueue().isCurrent();
        });
    }
    EXPECT_EQ(calls, 0); // never inline
    this->dispatch.runFor(Seconds(5));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onEventQueue);
}

TYPED_TEST(CaptureDeviceContract, CompletionWaitsForTheFirstFrameWithTheNewSettings) {
    CaptureDevice& d = *this->device;
    auto session = this->stream();
    this->dispatch.runFor(Seconds(0.01)); // inside the first frame
    int calls = 0;
    MediaTime sync;
    const MonotonicTime asked = monotonicNow();
    {
        ConfigurationLock lock(d);
        d.setExposureModeCustom(MediaTime::fromSeconds(0.5), d.activeFormat().minISO,
                                [&](MediaTime t) {
                                    ++calls;
                                    sync = t;
                                });
    }
    this->dispatch.runFor(Seconds(0.05)); // the frame in progress ended: not yet
    EXPECT_EQ(calls, 0);
    this->dispatch.runFor(Seconds(1));
    EXPECT_EQ(calls, 1);
    // The first frame that started after the change lasts the new 0.5 s.
    EXPECT_GE(sync.seconds() - Seconds(asked.time_since_epoch()).count(), 0.5);
    this->dispatch.runFor(Seconds(5));
    EXPECT_EQ(calls, 1);
}

TYPED_TEST(CaptureDeviceContract, StoppingRunsThePendingCompletions) {
    CaptureDevice& d = *this->device;
    auto session = this->stream();
    int calls = 0;
    {
        ConfigurationLock lock(d);
        d.setExposureModeCustom(d.activeFormat().maxExposureDuration, 400,
                                [&](MediaTime) { ++calls; });
    }
    session->stopRunning();
    this->dispatch.runUntilIdle();
    EXPECT_EQ(calls, 1);
    this->dispatch.runFor(Seconds(5));
    EXPECT_EQ(calls, 1);
}

TYPED_TEST(CaptureDeviceContract, ObserversHearChangesOnlyWithOldAndNewValues) {
    CaptureDevice& d = *this->device;
    std::vector<std::pair<float, float>> biases;
    bool onEventQueue = false;
    auto observation = d.observe(CaptureDeviceProperty::exposureTargetBias,
                                 [&](const CaptureDevicePropertyChange& c) {
                                     biases.emplace_back(*c.oldAs<float>(), *c.newAs<float>());
                                     onEventQueue = d.eventQueue().isCurrent();
                                 });
    {
        ConfigurationLock lock(d);
        d.setExposureTargetBias(1);
        d.setExposureTargetBias(1); // no change, no report
        d.setExposureTargetBias(-2);
    }
    this->dispatch.runUntilIdle();
    EXPECT_EQ(biases, (std::vector<std::pair<float, float>>{{0, 1}, {1, -2}}));
    EXPECT_TRUE(onEventQueue);

    observation.reset();
    {
        ConfigurationLock lock(d);
        d.setExposureTargetBias(3);
    }
    this->dispatch.runUntilIdle();
    EXPECT_EQ(biases.size(), 2u);
}

TEST(CaptureDeviceLock, WaitsForAnotherThreadAtMostItsTimeout) {
    auto device = std::make_shared<InMemoryCaptureDevice>();
    device->setConfigurationLockTimeout(Seconds(0.02));
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        ConfigurationLock lock(*device);
        held = true;
        while (!release) {
            std::this_thread::yield();
        }
    });
    while (!held) {
        std::this_thread::yield();
    }
    const ConfigurationLockResult refused = device->lockForConfiguration();
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.errorDescription.find("waited"), std::string::npos);
    release = true;
    holder.join();
    device->setConfigurationLockTimeout(CaptureDevice::configurationLockTimeout);
    EXPECT_TRUE(ConfigurationLock(*device)); // given back: free again
}

TEST(CaptureDeviceLock, SerialisesConfigurationAcrossThreads) {
    auto device = std::make_shared<InMemoryCaptureDevice>();
    std::atomic<bool> released{false};
    std::atomic<bool> sawRelease{false};
    std::thread other;
    {
        ConfigurationLock lock(*device);
        other = std::thread([&] {
            ConfigurationLock second(*device);
            sawRelease = released.load();
            device->setExposureTargetBias(2);
        });
        device->setExposureTargetBias(1);
        released = true;
    }
    other.join();
    EXPECT_TRUE(sawRelease);
    EXPECT_EQ(device->exposureTargetBiasesSet(), (std::vector<float>{1, 2}));
    EXPECT_EQ(device->misuseCount(), 0);
}

} // namespace
} // namespace qv::platform
