#include "MergerTestPhotos.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "platform/console/Console.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::SyntheticPhotoOptions;
using testing::bayerSamplesOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::makeBayerPhoto;
using testing::TwoSecondCustomizer;
constexpr std::uint32_t none = NightLimits::none;

// The worked example of the sensor levels: black 528, white 4095, neutral
// 0.5, 1.0, 0.7.
SyntheticPhotoOptions sensor(std::vector<double> neutral = {0.5, 1.0, 0.7},
                             platform::FourCharCode format = platform::pixelformat::bayer14RGGB) {
    SyntheticPhotoOptions options;
    options.blackLevel = 528;
    options.whiteLevel = 4095;
    options.asShotNeutral = std::move(neutral);
    options.pixelFormat = format;
    return options;
}

PhotoPtr flat(std::uint16_t value, SyntheticPhotoOptions options = sensor()) {
    return makeBayerPhoto(
        4, 4, [=](std::size_t, std::size_t) { return value; }, options);
}

// A frame with one value per colour of its mosaic.
PhotoPtr perColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue,
                   SyntheticPhotoOptions options = sensor()) {
    const auto cell = *platform::bayerPattern(options.pixelFormat);
    return makeBayerPhoto(
        4, 4,
        [=](std::size_t x, std::size_t y) {
            switch (cell[(y & 1) * 2 + (x & 1)]) {
            case platform::CfaColor::red:
                return red;
            case platform::CfaColor::green:
                return green;
            default:
                return blue;
            }
        },
        options);
}

struct Night {
    BetaNightMergeMode mode = BetaNightMergeMode::noClipping;
    TwoSecondCustomizer customizer;
    std::unique_ptr<MetalRAWNightModePhotoMerger> make(const PhotoPtr& first, bool count = true) {
        return MetalRAWNightModePhotoMerger::make(first, count, customizer,
                                                  [this] { return mode; });
    }
};

TEST(NightLimits, ComeFromTheMergeModeAndThePhotosLevels) {
    const auto metadata = flat(0)->metadata();
    using M = BetaNightMergeMode;
    const std::array<std::uint32_t, 3> zero{0, 0, 0}, open{none, none, none};
    const std::array<std::uint32_t, 3> black{528, 528, 528}, blackPoints{528, 532, 532};
    const std::array<std::uint32_t, 3> whitePoints{2308, 4092, 3020};
    EXPECT_EQ(nightClippingLimits(M::noClipping, metadata), (NightLimits{zero, open}));
    EXPECT_EQ(nightClippingLimits(M::blackClippingUnique, metadata), (NightLimits{black, open}));
    EXPECT_EQ(nightClippingLimits(M::blackClippingRGB, metadata), (NightLimits{blackPoints, open}));
    EXPECT_EQ(nightClippingLimits(M::whiteClipping, metadata), (NightLimits{zero, whitePoints}));
    EXPECT_EQ(nightClippingLimits(M::blackAndWhiteClippingUnique, metadata),
              (NightLimits{black, whitePoints}));
    EXPECT_EQ(nightClippingLimits(M::blackAndWhiteClippingRBG, metadata),
              (NightLimits{blackPoints, whitePoints}));
}

TEST(NightLimits, ColoursMissingFromAShortNeutralGetNoLimit) {
    using M = BetaNightMergeMode;
    const auto one = flat(0, sensor({1.0}))->metadata();
    EXPECT_EQ(nightClippingLimits(M::blackAndWhiteClippingRBG, one),
              (NightLimits{{528, 0, 0}, {4092, none, none}}));
    const auto empty = flat(0, sensor({}))->metadata();
    EXPECT_EQ(nightClippingLimits(M::blackAndWhiteClippingRBG, empty), NightLimits{});
}

TEST(NightGain, IsTwoToTheCompensationAsAFloatWithinBounds) {
    EXPECT_EQ(nightGain(0), 1.0f);
    EXPECT_EQ(nightGain(1), 2.0f);
    EXPECT_EQ(nightGain(-1), 0.5f); // ISO 100 in the computational mode: not a black picture
    EXPECT_EQ(nightGain(3), 8.0f);
    EXPECT_EQ(nightGain(40), 65536.0f);
    EXPECT_EQ(nightGain(-40), 1.0f / 65536.0f);
    EXPECT_EQ(nightGain(std::nan("")), 1.0f);
    EXPECT_EQ(nightGain(std::numeric_limits<double>::infinity()), 1.0f);
}

TEST(NightMerger, ClipsEachColourOfTheMosaicToItsLimits) {
    for (const auto format :
         {platform::pixelformat::bayer14RGGB, platform::pixelformat::bayer14GRBG}) {
        ConsoleCapture console;
        Night night;
        night.mode = BetaNightMergeMode::whiteClipping;
        const auto merger =
            night.make(perColour(3000, 5000, 3500, sensor({0.5, 1.0, 0.7}, format)));
        ASSERT_TRUE(merger);
        merger->addPhoto(perColour(3000, 5000, 3500, sensor({0.5, 1.0, 0.7}, format)));
        EXPECT_EQ(merger->totalFrames1(), 2u);
        // Red at most 2308, green 4092, blue 3020, wherever the pattern puts them.
        const auto out = bayerSamplesOf(merger->resultData(0, 0));
        const auto expected = perColour(2308, 4092, 3020, sensor({0.5, 1.0, 0.7}, format));
        ASSERT_EQ(out.size(), 16u);
        for (std::size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(out[i], expected->pixelBuffer()->row<std::uint16_t>(i / 4)[i % 4]) << i;
        }
        EXPECT_THAT(console.text(), HasSubstr("Upper limits:  [2308, 4092, 3020]"));
    }
}

TEST(NightMerger, RaisesLowSamplesToTheBlackClippingPoints) {
    ConsoleCapture console;
    Night night;
    night.mode = BetaNightMergeMode::blackAndWhiteClippingRBG;
    const auto merger = night.make(perColour(100, 100, 100));
    const auto out = bayerSamplesOf(merger->resultData(0, 0));
    ASSERT_EQ(out.size(), 16u);
    EXPECT_THAT(std::vector<std::uint16_t>(out.begin(), out.begin() + 2), ElementsAre(528, 532));
    EXPECT_EQ(out[5], 532); // blue
}

TEST(NightMerger, GainStretchesTheMeanAboveBlack) {
    ConsoleCapture console;
    Night night;
    const auto frame = [] {
        return makeBayerPhoto(4, 4, [](std::size_t x, std::size_t y) -> std::uint16_t {
            return x == 0 && y == 0 ? 500 : x == 1 && y == 0 ? 40000 : 1528;
        });
    };
    const auto merger = night.make(frame());
    merger->addPhoto(frame());
    const auto at = [&](double ev) {
        const auto out = bayerSamplesOf(merger->resultData(0, ev));
        return std::vector<std::uint16_t>{out.at(0), out.at(1), out.at(2)};
    };
    EXPECT_THAT(at(0), ElementsAre(500, 40000, 1528));
    EXPECT_THAT(at(1), ElementsAre(500, 65535, 2528));
    EXPECT_THAT(at(-1), ElementsAre(500, 20264, 1028));
    EXPECT_EQ(merger->totalFrames1(), 2u); // results leave the sum alone
}

TEST(NightMerger, TakesLimitsFromThePhotoKeptBeforeAndTheModeOfTheMoment) {
    ConsoleCapture console;
    Night night;
    night.mode = BetaNightMergeMode::whiteClipping;
    const auto merger = night.make(flat(1000, sensor({1.0, 1.0, 1.0})));
    merger->addPhoto(flat(1000));
    merger->addPhoto(flat(1000));
    night.mode = BetaNightMergeMode::noClipping;
    merger->addPhoto(flat(1000));
    const std::string text = console.text();
    const auto first = text.find("Frame Number: 0 \n");
    const auto second = text.find("Frame Number: 1 \n");
    const auto third = text.find("Frame Number: 2 \n");
    const auto fourth = text.find("Frame Number: 3 \n");
    ASSERT_LT(first, second);
    ASSERT_LT(second, third);
    ASSERT_LT(third, fourth);
    ASSERT_NE(fourth, std::string::npos);
    const auto points = [&](std::size_t from) {
        const auto at = text.find("Clipping Points:\n", from);
        return text.substr(at, text.find("\n\n", at) - at);
    };
    // Frames 1 and 2 are clipped by the creating photo's neutral, frame 3 by
    // the second photo's, frame 4 not at all.
    EXPECT_EQ(points(first), "Clipping Points:\n 4092 \n 4092 \n 4092 \n 0 \n 0 \n 0 ");
    EXPECT_EQ(points(second), "Clipping Points:\n 4092 \n 4092 \n 4092 \n 0 \n 0 \n 0 ");
    EXPECT_EQ(points(third), "Clipping Points:\n 2308 \n 4092 \n 3020 \n 0 \n 0 \n 0 ");
    EXPECT_EQ(points(fourth), "Clipping Points:\n 4294967295 \n 4294967295 \n 4294967295 \n 0 \n "
                              "0 \n 0 ");
    EXPECT_THAT(text, HasSubstr("\n\n-----Night Mode add photo\n\n\nBlack Level: 528 \n\n"
                                "White Level: 4095 \n\n"));
    EXPECT_THAT(text, HasSubstr("seconds\n\n\n-----End Night Mode add photo\n\n"));

    // The result reads the mode of the moment and the latest photo's levels.
    merger->resultData(0, 0);
    night.mode = BetaNightMergeMode::blackAndWhiteClippingRBG;
    merger->resultData(0, 0);
    const std::string results = console.text().substr(text.size());
    EXPECT_EQ(results.substr(results.find("Lower limits:")),
              "Lower limits:  [0, 0, 0]\nUpper limits:  [4294967295, 4294967295, 4294967295]\n"
              "Lower limits:  [528, 532, 532]\nUpper limits:  [2308, 4092, 3020]\n");
}

TEST(NightMerger, WithoutCountedFramesTheResultIsTheKeptPhotoUnchanged) {
    ConsoleCapture console;
    Night night;
    const auto merger = night.make(flat(1234), false);
    ASSERT_TRUE(merger);
    EXPECT_EQ(merger->totalFrames1(), 0u);
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 2)), std::vector<std::uint16_t>(16, 1234));
    merger->addPhoto(flat(2000));
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 0)), std::vector<std::uint16_t>(16, 2000));
}

} // namespace
} // namespace qv
