#include "platform/audio/AudioSession.hpp"
#include "platform/audio/ShutterClick.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/system/OutputVolume.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

TEST(SystemSound, TheShutterSoundIsRecordedWithItsVolumeAndOtherNumbersPlayNothing) {
    OutputVolume::shared().setLevel(0.25f);
    SoundRecorder recorder;
    playSystemSound(kShutterSound);
    playSystemSound(1000);
    disposeSystemSound(kShutterSound);
    playSystemSound(kShutterSound);
    ASSERT_EQ(recorder.sounds(), (std::vector<SystemSoundID>{1108, 1108}));
    EXPECT_EQ(recorder.played()[0].volume, 0.25f);
}

TEST(SystemSound, TheClickIsTwoShortAudibleBurstsWithinFullScale) {
    const std::vector<float> click = shutterClick(48000);
    EXPECT_EQ(click.size(), 4320u); // 90 ms
    EXPECT_EQ(click, shutterClick(48000));
    const auto loudest = std::max_element(
        click.begin(), click.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
    EXPECT_GT(std::abs(*loudest), 0.2f);
    EXPECT_LE(std::abs(*loudest), 1.0f);
    // Quiet between the two clicks (40 ms to 55 ms), loud again after.
    const auto peak = [&](double from, double to) {
        float most = 0;
        for (auto i = static_cast<std::size_t>(from * 48000);
             i < static_cast<std::size_t>(to * 48000); ++i) {
            most = std::max(most, std::abs(click[i]));
        }
        return most;
    };
    EXPECT_LT(peak(0.04, 0.055), 0.01f);
    EXPECT_GT(peak(0.055, 0.065), 0.2f);
}

TEST(AudioSession, VolumeChangesOfValueAreReportedOnTheSessionsQueue) {
    VirtualDispatch dispatch;
    OutputVolume::shared().setLevel(0.5f);
    AudioSession session;
    std::vector<float> reported;
    Subscription subscription = session.observeOutputVolume([&](float level) {
        EXPECT_FALSE(isMainThread());
        reported.push_back(level);
    });
    OutputVolume::shared().setLevel(0.5625f);
    OutputVolume::shared().setLevel(0.5625f); // the same level: no report
    EXPECT_TRUE(reported.empty());            // never inline on the changing thread
    dispatch.runUntilIdle();
    EXPECT_EQ(reported, std::vector{0.5625f});
    EXPECT_EQ(session.outputVolume(), 0.5625f);
}

TEST(AudioSession, ActivationCanBeMadeToFail) {
    AudioSession session;
    EXPECT_FALSE(session.setActive(true));
    EXPECT_TRUE(session.isActive());
    ScopedAudioSessionFailure failing;
    EXPECT_EQ(session.setActive(false), "The audio session could not be deactivated");
    EXPECT_TRUE(session.isActive());
}

} // namespace
} // namespace qv::platform
