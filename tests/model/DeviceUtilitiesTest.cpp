#include "model/Exposure.hpp"
#include "model/PhotoQualityInfo.hpp"
#include "model/PixelFormatNames.hpp"
#include "model/RotationAngle.hpp"
#include "model/SystemVolume.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/system/OutputVolume.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <set>

using namespace qv;
namespace pf = platform::pixelformat;

TEST(PixelFormatNames, NamesTheMediaFormatsAndOurOwnCodes) {
    EXPECT_EQ(pixelFormatName(pf::bgra32), "kCVPixelFormatType_32BGRA");
    EXPECT_EQ(pixelFormatName(pf::rgba64LE), "kCVPixelFormatType_64RGBALE");
    EXPECT_EQ(pixelFormatName(pf::bayer14RGGB), "kCVPixelFormatType_14Bayer_RGGB");
    EXPECT_EQ(pixelFormatName(pf::bayer14GBRG), "kCVPixelFormatType_14Bayer_GBRG");
    EXPECT_EQ(pixelFormatName(0), "UNKNOWN");
    EXPECT_EQ(pixelFormatName(platform::fourCharCode("abcd")), "UNKNOWN");

    const auto buffer = platform::PixelBuffer::make(4, 2, pf::bgra32);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(pixelFormatName(*buffer), "kCVPixelFormatType_32BGRA");
}

TEST(PixelFormatNames, TableHasFiftyFiveDistinctFormats) {
    const auto table = namedPixelFormats();
    ASSERT_EQ(table.size(), 55u);
    std::set<platform::FourCharCode> codes;
    std::set<std::string_view> names;
    for (const NamedPixelFormat& format : table) {
        codes.insert(format.code);
        names.insert(format.name);
        EXPECT_EQ(format.name.substr(0, 19), "kCVPixelFormatType_");
    }
    EXPECT_EQ(codes.size(), 55u);
    EXPECT_EQ(names.size(), 55u);
    // The bare code does not know the last one.
    EXPECT_EQ(table.back().name, "kCVPixelFormatType_16VersatileBayer");
    EXPECT_EQ(pixelFormatName(table.back().code), "UNKNOWN");
    EXPECT_EQ(pixelFormatName(table[24].code), table[24].name);
}

TEST(RotationAngle, OrientationsToRadians) {
    EXPECT_EQ(rotationAngle(2), std::numbers::pi);
    EXPECT_EQ(rotationAngle(3), std::numbers::pi / 2);
    EXPECT_EQ(rotationAngle(4), -std::numbers::pi / 2);
    for (const std::int64_t other : {0, 1, 5, 6, -1}) {
        EXPECT_EQ(rotationAngle(other), 0.0) << other;
    }
}

TEST(PhotoQualityInfo, PrintsCapabilitiesAndHighQualityFormats) {
    platform::InMemoryCaptureDevice::State state;
    platform::CaptureDeviceFormat low;
    low.formatDescription = "<1920x1080 video>";
    platform::CaptureDeviceFormat high = low;
    high.formatDescription = "<4032x3024 photo>";
    high.isHighPhotoQualitySupported = true;
    high.isHighestPhotoQualitySupported = true;
    state.formats = {low, high};
    state.activeFormat = low;
    state.lockingFocusWithCustomLensPositionSupported = true;
    const platform::InMemoryCaptureDevice device(state);

    const platform::ConsoleCapture console;
    printPhotoQualityInfo(device);
    EXPECT_EQ(console.text(), "isLockingFocusWithCustomLensPositionSupported = true\n"
                              "activeFormat.isHighestPhotoQualitySupported = false\n"
                              "<4032x3024 photo>\n"
                              "Active format\n"
                              "<1920x1080 video>\n");
}

TEST(Exposure, Description) {
    const Exposure exposure{100.7f, platform::MediaTime::fromSeconds(1.0 / 125), -0.5f};
    EXPECT_EQ(exposure.description(), "ISO: 100\nSpeed: ¹/125 s\nBias -0.5");
    // A device reporting nonsense still gives a text.
    const Exposure nonsense{std::numeric_limits<float>::quiet_NaN(), platform::MediaTime{}, 0};
    EXPECT_EQ(nonsense.description(), "ISO: 0\nSpeed: – s\nBias 0.0");
}

TEST(SetVolume, MovesTheOutputVolumeAfterThreeTenthsOfASecondOnTheMainQueue) {
    platform::VirtualDispatch dispatch;
    platform::OutputVolume& volume = platform::OutputVolume::shared();
    volume.setLevel(0.75f);
    const platform::ConsoleCapture console;
    setVolume(0.25f);
    dispatch.runFor(platform::Seconds(0.29));
    EXPECT_EQ(volume.level(), 0.75f);
    EXPECT_EQ(console.text(), "");
    dispatch.runFor(platform::Seconds(0.01));
    EXPECT_EQ(volume.level(), 0.25f);
    EXPECT_EQ(console.text(), "set volume\n");
}
