// The simulated camera's night scene through the engine's trail mergers: stars turn into
// arcs and car lights into lines that one frame does not show.
#include "SimulatedRun.hpp"
#include "platform/imaging/ImageDecoding.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform;

// Pixels with a channel above `level` (0...1) in a developed or decoded picture.
std::size_t brightPixels(const RgbaImage& image, double level) {
    std::size_t count = 0;
    for (std::size_t y = 0; y < image.height(); ++y) {
        for (std::size_t x = 0; x < image.width(); ++x) {
            const double brightest = std::max(
                {image.normalized(x, y, 0), image.normalized(x, y, 1), image.normalized(x, y, 2)});
            count += brightest > level ? 1 : 0;
        }
    }
    return count;
}

RgbaImage pictureOf(const imaging::FileData& file) {
    auto image = imaging::decodeImage(file, {.bitsPerChannel = 8, .halfSize = true});
    EXPECT_TRUE(image) << image.error();
    return image ? std::move(*image) : RgbaImage{};
}

TEST(SimulatedTrails, StarTrailMergerDrawsTheSkysTurnAsArcs) {
    test::SimulatedRunOptions o;
    o.photos = 16;
    o.seconds = 30;
    o.iso = 1600;
    o.framesPerGroup = 2;
    o.scene.cars = false;
    o.scene.skyEV = -9;
    const auto run = test::runSimulatedCamera(o);
    ASSERT_TRUE(run.merger);
    const auto result = run.merger->resultData(0, 0);
    ASSERT_TRUE(result);
    const std::size_t one = brightPixels(pictureOf(*run.firstPhoto->fileDataRepresentation()), 0.5);
    const std::size_t merged = brightPixels(pictureOf(*result), 0.5);
    ASSERT_GT(one, 10u);
    EXPECT_GT(merged, 3 * one); // each star leaves an arc of its eight minutes
}

TEST(SimulatedTrails, LightTrailMergerKeepsTheCarsWholePaths) {
    test::SimulatedRunOptions o;
    o.mode = SequenceMode::lightTrails;
    o.format = pixelformat::bgra32;
    o.photos = 12;
    o.seconds = 0.5;
    o.iso = 400;
    o.scene.stars = false;
    const auto run = test::runSimulatedCamera(o);
    ASSERT_TRUE(run.merger);
    const auto trail = run.merger->resultData(0, 0);
    const auto average = run.merger->resultData(1, 0);
    ASSERT_TRUE(trail && average);
    const std::size_t one = brightPixels(pictureOf(*run.firstPhoto->fileDataRepresentation()), 0.5);
    ASSERT_GT(one, 10u);
    EXPECT_GT(brightPixels(pictureOf(*trail), 0.5), 4 * one);
    // The plain average spreads each light over the run and loses it.
    EXPECT_LT(brightPixels(pictureOf(*average), 0.5), brightPixels(pictureOf(*trail), 0.5) / 4);
}

} // namespace
} // namespace qv
