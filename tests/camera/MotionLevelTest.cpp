// The spirit level: accelerometer samples averaged into tilt angles, the orientation
// estimated from gravity after each start, and the updates stopping themselves.

#include "CameraTestSupport.hpp"

#include <cmath>

namespace qv::testing {
namespace {

using platform::Acceleration;
using platform::DeviceOrientation;

constexpr platform::Seconds oneSample{0.02};

class MotionLevelTest : public CameraTest {
protected:
    MotionLevelTest() {
        install({wideCamera()});
        start();
        dispatch.runFor(oneSample); // start-up's one sample, which stops the updates
    }

    // Switches the level on with gravity `g` and takes `samples` samples.
    void levelOn(Acceleration g, int samples = 1) {
        phone.setGravity(g);
        camera->toggleSpiritLevel();
        pump();
        dispatch.runFor(oneSample * samples);
    }

    double xy() const { return camera->angleXY.get().degrees(); }
    double xz() const { return camera->angleXZ.get().degrees(); }
    double yz() const { return camera->angleYZ.get().degrees(); }
};

TEST_F(MotionLevelTest, AnglesAreArcTangentsRoundedToAFifthOfADegree) {
    levelOn({0.5, -0.5, -0.70710678});
    EXPECT_NEAR(xy(), -45, 1e-9);
    EXPECT_NEAR(xz(), -35.2, 1e-9); // -35.26 rounded
    EXPECT_NEAR(yz(), 35.2, 1e-9);

    camera->emptySmoothedAcceleration();
    phone.setGravity(Acceleration{0, -1, 0});
    dispatch.runFor(oneSample);
    EXPECT_EQ(xy(), 0);
    EXPECT_TRUE(std::isnan(xz()));                                         // 0 / 0
    EXPECT_NEAR(yz(), -90, 1e-9);                                          // a zero denominator
    EXPECT_EQ(camera->deviceOrientation.get(), DeviceOrientation::faceUp); // the first sample's
    camera->deviceOrientation = DeviceOrientation::portrait;
    EXPECT_NEAR(camera->levelAngle(), 0, 1e-9); // upright: from angleYZ
}

TEST_F(MotionLevelTest, TheLevelAngleIsTheForwardTiltOfTheWayThePhoneIsHeld) {
    camera->deviceOrientation = DeviceOrientation::portrait;
    camera->angleYZ = Angle::fromDegrees(30);
    EXPECT_NEAR(camera->levelAngle(), 60, 1e-9);
    camera->angleYZ = Angle::fromDegrees(-30);
    EXPECT_NEAR(camera->levelAngle(), -60, 1e-9); // -30 + 180 = 150, 90 - 150
    camera->deviceOrientation = DeviceOrientation::landscapeLeft;
    camera->angleXZ = Angle::fromDegrees(90);
    EXPECT_NEAR(camera->levelAngle(), 0, 1e-9);
}

TEST_F(MotionLevelTest, TheLatestTenSamplesAreAveraged) {
    levelOn({1.0, -1, 0});
    phone.setGravity(Acceleration{0.5, -1, 0});
    dispatch.runFor(oneSample * 9);
    EXPECT_NEAR(xy(), -28.8, 1e-9); // (1 + 9 x 0.5) / 10 = 0.55: atan(-0.55) = -28.81
    dispatch.runFor(oneSample);
    EXPECT_NEAR(xy(), -26.6, 1e-9); // the first sample is out: atan(-0.5) = -26.57
}

TEST_F(MotionLevelTest, EachStartEstimatesTheOrientationFromItsFirstSample) {
    EXPECT_EQ(camera->deviceOrientation.get(), DeviceOrientation::portrait);
    const std::pair<Acceleration, DeviceOrientation> cases[] = {
        {{0.1, -0.9, 0.3}, DeviceOrientation::portrait},
        {{-0.7, 0.7, 0}, DeviceOrientation::landscapeLeft}, // x wins a tie with y
        {{0.6, 0.1, 0.6}, DeviceOrientation::landscapeRight},
        {{0, 0.9, 0.2}, DeviceOrientation::portraitUpsideDown},
        {{0.1, 0.1, -0.98}, DeviceOrientation::faceUp},
        {{0, 0, 1}, DeviceOrientation::faceDown},
        {{0, 0, 0}, DeviceOrientation::landscapeRight},
    };
    for (const auto& [gravity, expected] : cases) {
        phone.setGravity(gravity);
        camera->startAccelerometerUpdates();
        pump();
        EXPECT_EQ(camera->deviceOrientation.get(), DeviceOrientation::unknown);
        dispatch.runFor(oneSample);
        EXPECT_EQ(camera->deviceOrientation.get(), expected)
            << gravity.x << " " << gravity.y << " " << gravity.z;
    }
}

TEST_F(MotionLevelTest, WithTheLevelOffTheNextSampleStopsTheUpdatesAndIsStillShown) {
    levelOn({0, -1, 0}, 3);
    ASSERT_TRUE(camera->motionManager().isAccelerometerActive());

    camera->toggleSpiritLevel();
    pump();
    phone.setGravity(Acceleration{1, -1, 0});
    dispatch.runFor(oneSample);
    EXPECT_FALSE(camera->motionManager().isAccelerometerActive());
    EXPECT_NEAR(xy(), -14, 1e-9); // (0 + 0 + 0 + 1) / 4 = 0.25: atan(-0.25) = -14.04

    phone.setGravity(Acceleration{-1, -1, 0});
    dispatch.runFor(oneSample * 5);
    EXPECT_NEAR(xy(), -14, 1e-9); // the angles keep their last values
}

TEST_F(MotionLevelTest, AFailingSensorStopsTooAndAStartForgetsEarlierSamples) {
    phone.setAccelerometerFailing(true);
    camera->startAccelerometerUpdates();
    pump();
    dispatch.runFor(oneSample);
    EXPECT_FALSE(camera->motionManager().isAccelerometerActive());

    phone.setAccelerometerFailing(false);
    levelOn({1, -1, 0}, 4);
    camera->toggleSpiritLevel();
    pump();
    dispatch.runFor(oneSample); // stops
    phone.setGravity(Acceleration{0, -1, 0});
    camera->toggleSpiritLevel();
    pump();
    dispatch.runFor(oneSample);
    EXPECT_EQ(xy(), 0); // only the new sample counts
}

} // namespace
} // namespace qv::testing
