// The selector lists built from the default simulated wide camera's limits.
#include "model/ExposureLimits.hpp"
#include "model/ValueSeries.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(SimulatedCameraLimits, WideCameraGivesTheIsoAndShutterLists) {
    const auto wide = platform::SimulatedCamera::make({}).devices().at(0);
    const QVPhotoMath::ExposureLimits limits(*wide);
    const auto isos = QVPhotoMath::isoValues(limits.minISO(), limits.maxISO());
    EXPECT_EQ(isos, QVPhotoMath::isoValues(32, 3072));
    EXPECT_EQ(isos.front(), 32);
    EXPECT_EQ(isos.back(), 3072);
    const auto range = limits.shutterSpeedRange();
    const auto speeds = QVPhotoMath::shutterSpeeds(range.lowerBound, range.upperBound);
    EXPECT_EQ(speeds, QVPhotoMath::shutterSpeeds(1.0 / 100000, 1.0));
    EXPECT_DOUBLE_EQ(speeds.front(), 1.0 / 100000);
    EXPECT_DOUBLE_EQ(speeds.back(), 1.0);
}

} // namespace
} // namespace qv
