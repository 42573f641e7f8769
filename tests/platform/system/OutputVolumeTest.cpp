#include "platform/system/OutputVolume.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using qv::platform::OutputVolume;

TEST(OutputVolume, KeepsTheLevelWithinZeroAndOne) {
    OutputVolume volume(0.5f);
    volume.setLevel(1.7f);
    EXPECT_EQ(volume.level(), 1.0f);
    volume.setLevel(-0.2f);
    EXPECT_EQ(volume.level(), 0.0f);
    volume.setLevel(NAN);
    EXPECT_EQ(volume.level(), 0.0f);
    EXPECT_EQ(OutputVolume(3).level(), 1.0f);
}

TEST(OutputVolume, ObserversSeeEveryChangeUntilRemoved) {
    OutputVolume volume(0.5f);
    std::vector<std::pair<float, float>> seen;
    const auto id = volume.addObserver([&](float oldLevel, float newLevel) {
        seen.emplace_back(oldLevel, newLevel);
        EXPECT_EQ(volume.level(), newLevel); // readable from inside the observer
    });
    volume.setLevel(0.625f);
    volume.setLevel(0.625f);
    volume.setLevel(2);
    volume.removeObserver(id);
    volume.setLevel(0.25f);
    const std::vector<std::pair<float, float>> expected{
        {0.5f, 0.625f}, {0.625f, 0.625f}, {0.625f, 1.0f}};
    EXPECT_EQ(seen, expected);
}
