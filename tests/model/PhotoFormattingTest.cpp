#include "model/PhotoFormatting.hpp"

#include "model/ValueSeries.hpp"
#include "platform/formatting/NumberLocale.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace qv::QVPhotoMath;
using qv::platform::MediaTime;
using qv::platform::NumberLocale;

namespace {

class PhotoFormatting : public ::testing::Test {
protected:
    void SetUp() override { NumberLocale::setCurrent(NumberLocale::english()); }
    void TearDown() override { NumberLocale::setCurrent(NumberLocale::english()); }
};

} // namespace

TEST_F(PhotoFormatting, ShutterSpeedExamples) {
    EXPECT_EQ(formattedShutterSpeed(0.34, false), "¹/2");
    EXPECT_EQ(formattedShutterSpeed(0.35, false), "0.4s");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 3, true), "¹/3");
    EXPECT_EQ(formattedShutterSpeed(0.4, true), "0.4s");
    EXPECT_EQ(formattedShutterSpeed(2.5, true), "2.5s");
    EXPECT_EQ(formattedShutterSpeed(30, true), "30s");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 125, true), "¹/125");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 160000, true), "¹/160k");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 16000, false), "¹/16000");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 16000, true), "¹/16k");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 8000, false), "¹/8000");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 8000, true), "¹/8000");
    EXPECT_EQ(formattedShutterSpeed(1.0 / 12800, true), "¹/13k");
    EXPECT_EQ(formattedShutterSpeed(3600, true), "3,600s");
}

TEST_F(PhotoFormatting, SpeedsThatWentThroughAMediaTimeKeepTheirDenominator) {
    EXPECT_EQ(formattedShutterSpeed(MediaTime::fromSeconds(1.0 / 1000), false), "¹/1000");
    for (const std::int64_t d : shutterSpeedDenominators) {
        const MediaTime t = MediaTime::fromSeconds(1.0 / static_cast<double>(d));
        EXPECT_EQ(formattedShutterSpeed(t, false), "¹/" + std::to_string(d)) << d;
        if (d < 10000) {
            EXPECT_EQ(formattedShutterSpeed(t, true), "¹/" + std::to_string(d)) << d;
        } else {
            EXPECT_EQ(formattedShutterSpeed(t, true),
                      formattedShutterSpeed(1.0 / static_cast<double>(d), true))
                << d;
        }
    }
    for (const double s : longShutterSpeeds) {
        EXPECT_EQ(formattedShutterSpeed(MediaTime::fromSeconds(s), true),
                  formattedShutterSpeed(s, true))
            << s;
    }
    // The same speeds as plain seconds read back from the media time: the reciprocal
    // lies just below the denominator, and the whole part allows for that.
    for (const std::int64_t d : shutterSpeedDenominators) {
        const double seconds = MediaTime::fromSeconds(1.0 / static_cast<double>(d)).seconds();
        if (d <= 10000) {
            EXPECT_EQ(formattedShutterSpeed(seconds, false), "¹/" + std::to_string(d)) << d;
        }
        EXPECT_EQ(formattedShutterSpeed(seconds, true),
                  formattedShutterSpeed(1.0 / static_cast<double>(d), true))
            << d;
    }
    // The tolerance is relative and tiny: 1/2.99 s is still written ¹/2.
    EXPECT_EQ(formattedShutterSpeed(1 / 2.99, false), "¹/2");
}

TEST_F(PhotoFormatting, MediaTimesAtCoarseTimescalesReadAsTheTimeTheyHold) {
    EXPECT_EQ(formattedShutterSpeed(MediaTime{1, 125}, false), "¹/125");
    EXPECT_EQ(formattedShutterSpeed(MediaTime{2, 1}, true), "2s");
    EXPECT_EQ(formattedShutterSpeed(MediaTime{1, 1}, true), "1s");
    EXPECT_EQ(formattedShutterSpeed(MediaTime{1, 16000}, true), "¹/16k");
    EXPECT_EQ(formattedShutterSpeed(MediaTime{8, 1000}, false), "¹/125");
    // A time between standard speeds is written as itself.
    EXPECT_EQ(formattedShutterSpeed(MediaTime{7, 1000}, false), "¹/142");

    // Every standard speed at every timescale: when the stored time is that speed
    // (to a relative 0.1 %) the text is the speed's own; otherwise the time was
    // rounded to a coarse tick and the text is that of the time it now holds.
    constexpr std::int32_t timescales[] = {1,     125,           1000,
                                           16000, 1'000'000'000, MediaTime::preferredTimescale};
    for (const std::int32_t timescale : timescales) {
        for (const double speed : allShutterSpeeds()) {
            const MediaTime time = MediaTime::fromSeconds(speed, timescale);
            SCOPED_TRACE(std::to_string(speed) + " s at timescale " + std::to_string(timescale));
            for (const bool abbreviated : {false, true}) {
                const bool kept = std::fabs(time.seconds() - speed) <= 1e-3 * speed;
                EXPECT_EQ(formattedShutterSpeed(time, abbreviated),
                          formattedShutterSpeed(kept ? speed : time.seconds(), abbreviated));
                if (timescale >= 1'000'000'000) {
                    EXPECT_TRUE(kept);
                }
            }
        }
    }
}

TEST_F(PhotoFormatting, SpeedsWithoutAReciprocalGiveADash) {
    EXPECT_EQ(formattedShutterSpeed(0.0, true), "–");
    EXPECT_EQ(formattedShutterSpeed(-0.01, true), "–");
    EXPECT_EQ(formattedShutterSpeed(std::numeric_limits<double>::quiet_NaN(), false), "–");
    EXPECT_EQ(formattedShutterSpeed(std::numeric_limits<double>::infinity(), false), "–");
    EXPECT_EQ(formattedShutterSpeed(MediaTime{}, true), "–");
    EXPECT_EQ(formattedShutterSpeed(1e-300, false), "¹/" + std::to_string(INT64_MAX));
}

TEST_F(PhotoFormatting, ShutterSpeedFollowsTheNumberLocale) {
    NumberLocale::setCurrent(NumberLocale::named("de_DE.UTF-8"));
    EXPECT_EQ(formattedShutterSpeed(2.5, true), "2,5s");
}

TEST_F(PhotoFormatting, EVExamples) {
    EXPECT_EQ(formattedEV(0.0), "0");
    EXPECT_EQ(formattedEV(0.1), "0");
    EXPECT_EQ(formattedEV(-0.0), "0");
    EXPECT_EQ(formattedEV(0.33), "+¹/₃");
    EXPECT_EQ(formattedEV(-0.67), "-²/₃");
    EXPECT_EQ(formattedEV(1.67), "+1²/₃");
    EXPECT_EQ(formattedEV(2.9), "+3");
    EXPECT_EQ(formattedEV(-1.0), "-1");
    EXPECT_EQ(formattedEV(1234.0f), "+1,234");
    EXPECT_EQ(formattedEV(std::numeric_limits<double>::quiet_NaN()), "–");
    EXPECT_EQ(formattedEV(-std::numeric_limits<float>::infinity()), "–");
}

TEST_F(PhotoFormatting, EVOfEveryBiasEntryReadsAsWholeThirds) {
    const std::vector<float> values = exposureBiasValues(-8, 8);
    EXPECT_EQ(formattedEV(values[24]), "0");
    EXPECT_EQ(formattedEV(values[25]), "+¹/₃");
    EXPECT_EQ(formattedEV(values[23]), "-¹/₃");
    EXPECT_EQ(formattedEV(values[27]), "+1");
    EXPECT_EQ(formattedEV(values[0]), "-8");
    EXPECT_EQ(formattedEV(values[47]), "+7²/₃");
}

TEST_F(PhotoFormatting, SuperAndSubscripts) {
    EXPECT_EQ(superscripted("1a2"), "¹²");
    EXPECT_EQ(superscripted("0123456789"), "⁰¹²³⁴⁵⁶⁷⁸⁹");
    EXPECT_EQ(subscripted("-3"), "₃");
    EXPECT_EQ(subscripted(std::int64_t{-3}), "₃");
    EXPECT_EQ(subscripted("0123456789"), "₀₁₂₃₄₅₆₇₈₉");
    EXPECT_EQ(superscripted("é"), "");
}
