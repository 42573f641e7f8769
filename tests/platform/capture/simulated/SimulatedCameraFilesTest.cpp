// Photos of the simulated camera as files, checked by real readers: exiftool validates the
// DNG, LibRaw develops it to the colours the scene had.
#include "ImagingTestSupport.hpp"
#include "SimulatedPhotoRig.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/scene/detail/SensorColor.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawDevelopment.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

using imaging::test::TempFolder;

// The gains that balance the sensor's grey under the scene's (sRGB, D65) light.
WhiteBalanceGains greyGains() {
    const auto grey = detail::multiply(detail::srgbToCamera(), {1, 1, 1});
    return {float(1 / grey[0]), float(1 / grey[1]), float(1 / grey[2])};
}

// One RAW photo of a 160x120 wide camera looking at `scene`, its white balance locked for
// the scene's grey and its exposure set, taken through a session on the virtual clock.
std::shared_ptr<CapturedPhoto> rawPhotoOf(std::shared_ptr<const Scene> scene, double seconds,
                                          float iso) {
    VirtualDispatch dispatch;
    SimulatedCameraSpec spec;
    spec.photoSize = {160, 120};
    test::SimulatedPhotoRig rig(spec, std::move(scene), greyGains(), seconds, iso);
    dispatch.runFor(Seconds(0.5));
    return rig.take(dispatch, CapturePhotoSettings::withRawPixelFormat(pixelformat::bayer14RGGB));
}

std::array<double, 4> meanOf(const RgbaImage& image, std::size_t x, std::size_t y, std::size_t w,
                             std::size_t h) {
    return *imaging::areaAverage(image, imaging::PixelRect{x, y, w, h});
}

TEST(SimulatedCameraFiles, RawPhotoIsAValidDngThatDevelopsToTheScenesGrey) {
    SyntheticSceneOptions options;
    options.greyCard = SyntheticSceneOptions::GreyCard{0, 0, 1, 1, 0};
    options.sensorNoise = false;
    // EV100 0 at f/1.78: t x ISO / 100 = 1.78^2.
    const auto photo = rawPhotoOf(std::make_shared<SyntheticNightScene>(options), 1, 316.84f);
    ASSERT_NE(photo, nullptr);
    const auto dng = photo->fileDataRepresentation();
    ASSERT_TRUE(dng) << dng.error();
    TempFolder folder;
    imaging::test::expectValid(folder.write("photo.dng", *dng));

    const auto developed = imaging::developRaw(*dng, {.colorSpace = ColorSpace::linearSRGB});
    ASSERT_TRUE(developed) << developed.error();
    const auto grey = meanOf(*developed, 40, 30, 80, 60);
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(grey[c], 0.18, 0.18 * 0.03) << "channel " << c;
    }
}

TEST(SimulatedCameraFiles, JpegPatchesReplayedAsRawDevelopToTheirColours) {
    RgbaImage patches(160, 120, 8);
    for (std::size_t y = 0; y < 120; ++y) {
        auto row = patches.row8(y);
        for (std::size_t x = 0; x < 160; ++x) {
            const bool red = x >= 80;
            row[x * 4] = red ? 200 : 128;
            row[x * 4 + 1] = red ? 40 : 128;
            row[x * 4 + 2] = red ? 40 : 128;
            row[x * 4 + 3] = 255;
        }
    }
    TempFolder folder;
    folder.write("patches.jpg", *imaging::encodeJpeg(patches, 98, {}));
    std::string problem;
    const auto frames = RecordedFrames::open(folder.path(), {160, 120}, problem);
    ASSERT_NE(frames, nullptr) << problem;
    const auto photo = rawPhotoOf(frames, 0.01, 100);
    ASSERT_NE(photo, nullptr);
    const auto developed = imaging::developRaw(*photo->fileDataRepresentation());
    ASSERT_TRUE(developed) << developed.error();
    const auto original = *imaging::decodeJpeg(*imaging::encodeJpeg(patches, 98, {}));
    for (std::size_t left : {std::size_t(10), std::size_t(90)}) {
        const auto want = meanOf(original, left, 20, 60, 80);
        const auto got = meanOf(*developed, left, 20, 60, 80);
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_NEAR(got[c], want[c], 0.03 * want[c] + 0.005)
                << (left < 80 ? "grey" : "red") << " patch, channel " << c;
        }
    }
}

} // namespace
} // namespace qv::platform
