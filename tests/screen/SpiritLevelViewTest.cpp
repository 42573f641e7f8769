#include "screen/overlays/SpiritLevelView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace qv {
namespace {

using namespace platform::ui;
using platform::Acceleration;
using platform::DeviceOrientation;
using testing::endOf;
using testing::startOf;

// The level fills the 390 x 520 preview: R = 97.5 about (195, 260).
constexpr double kR = 97.5;
constexpr Point kC{195, 260};
const Color::Rgba kWhite{1, 1, 1, 1};
const Color::Rgba kGreen = Color::green().resolved(ColorScheme::dark);

double rad(double degrees) {
    return degrees * std::numbers::pi / 180;
}

// The direction of a line on the screen, in radians, folded into (-pi/2, pi/2].
double direction(const Path& line) {
    const Point a = startOf(line), b = endOf(line);
    double angle = std::atan2(b.y - a.y, b.x - a.x);
    if (angle <= -std::numbers::pi / 2) {
        angle += std::numbers::pi;
    } else if (angle > std::numbers::pi / 2) {
        angle -= std::numbers::pi;
    }
    return angle;
}

class SpiritLevelViewTest : public testing::SimulatedPhoneTest {
protected:
    void SetUp() override {
        startSimulated();
        graph.emplace(
            [this] {
                return View(testing::ControllerView{
                    *camera, [](CameraManager& c) -> View {
                        return ZStack(
                            {SpiritLevelView{c.levelAngle(), c.angleXY.get(), c.angleXZ.get(),
                                             c.angleYZ.get(), c.deviceOrientation.get()},
                             View(Color::red()).frame(20, 20).position(20, 20)});
                    }});
            },
            testing::sceneOf(390, 520));
    }
    // Holds the phone so, with gravity along `g`, and reads the level once the averaged
    // samples have settled.
    void hold(DeviceOrientation orientation, Acceleration g) {
        phone.setOrientation(orientation);
        phone.setGravity(g);
        if (!camera->activeOverlayViews.get().contains(ActiveOverlayViews::spiritLevel)) {
            camera->toggleSpiritLevel();
        }
        wait(0.5);
        camera->updateDeviceOrientation();
        pump();
        graph->settle();
    }
    std::vector<Element::ShapeInfo> shapes(const std::string& tag) {
        return testing::shapesIn(graph->tree().root(), tag);
    }
    // The moving line's offset above the centre line, or nothing when it is not drawn.
    std::optional<double> movingLineHeight() {
        const auto line = shapes("level moving line");
        if (line.empty()) {
            return std::nullopt;
        }
        return kC.y - startOf(line[0].path).y;
    }
    double movingLineLength() {
        const Path p = shapes("level moving line")[0].path;
        return std::hypot(endOf(p).x - startOf(p).x, endOf(p).y - startOf(p).y);
    }
    std::optional<ViewGraph> graph;
};

// Upright with the top tilted back by `degrees`: the forward tilt reads as much.
Acceleration pitched(double degrees) {
    return {0, -std::cos(rad(degrees)), -std::sin(rad(degrees))};
}

TEST_F(SpiritLevelViewTest, UprightThePitchLineMovesWithTheTiltAndStopsAtFortyFive) {
    hold(DeviceOrientation::portrait, pitched(0));
    EXPECT_EQ(camera->levelAngle(), 0);
    EXPECT_NEAR(*movingLineHeight(), 0, 1e-9) << "on the reference line";
    for (const auto& part : shapes("level pitch")) {
        EXPECT_EQ(part.color, kGreen);
        EXPECT_EQ(part.lineWidth(), 4);
        EXPECT_EQ(part.stroke->lineCap, LineCap::butt);
    }
    EXPECT_EQ(shapes("level roll")[0].color, kGreen);
    EXPECT_EQ(shapes("level circle")[0].color, kWhite);
    EXPECT_DOUBLE_EQ(shapes("level pitch")[0].opacity, 0.7 * 0.2) << "the faint reference line";
    EXPECT_DOUBLE_EQ(shapes("level circle")[0].opacity, 0.7);

    hold(DeviceOrientation::portrait, pitched(30));
    EXPECT_NEAR(camera->levelAngle(), 30, 1e-9);
    EXPECT_NEAR(*movingLineHeight(), 0.6 * kR, 1e-9);
    EXPECT_NEAR(movingLineLength(), 2 * kR - 2 * 0.2 * kR - 2 * 0.4 * kR, 1e-9)
        << "shortened by 0.4 R beyond each stub";
    EXPECT_EQ(shapes("level moving line")[0].color, kWhite);

    hold(DeviceOrientation::portrait, pitched(50));
    EXPECT_NEAR(*movingLineHeight(), 0.9 * kR, 1e-9) << "held at 45 degrees";

    hold(DeviceOrientation::portrait, pitched(60));
    EXPECT_FALSE(movingLineHeight().has_value());
    EXPECT_EQ(shapes("level pitch").size(), 3u) << "the reference line and stubs remain";
    EXPECT_EQ(shapes("level circle").size(), 1u);
}

TEST_F(SpiritLevelViewTest, OnItsSideTheRollLinesSnapLevelOrFollowTheRoll) {
    hold(DeviceOrientation::landscapeLeft, {-1, 0, 0});
    EXPECT_NEAR(camera->angleXY.get().degrees(), -90, 1e-9);
    for (const auto& line : shapes("level roll")) {
        EXPECT_EQ(line.color, kGreen);
        EXPECT_NEAR(std::abs(direction(line.path)), std::numbers::pi / 2, 1e-9) << "turned pi/2";
    }
    hold(DeviceOrientation::landscapeLeft, {-std::sin(rad(85)), std::cos(rad(85)), 0});
    EXPECT_NEAR(camera->angleXY.get().degrees(), -85, 1e-9);
    for (const auto& line : shapes("level roll")) {
        EXPECT_EQ(line.color, kWhite);
        EXPECT_NEAR(direction(line.path), rad(-85), 1e-9) << "turned by the roll";
    }
    // Just past level the quotient's sign turns and atan reads +89.8: still level.
    hold(DeviceOrientation::landscapeLeft, {-1, -std::tan(rad(0.2)), 0});
    EXPECT_NEAR(camera->angleXY.get().degrees(), 89.8, 1e-9);
    EXPECT_EQ(shapes("level roll")[0].color, kGreen);
}

TEST_F(SpiritLevelViewTest, UpsideDownTheRollCountsHalfATurnAway) {
    hold(DeviceOrientation::portraitUpsideDown, {0, 1, 0});
    EXPECT_EQ(camera->angleXY.get().degrees(), 0);
    EXPECT_EQ(shapes("level roll")[0].color, kGreen) << "0 + 180 lies level";
    hold(DeviceOrientation::portraitUpsideDown, {std::sin(rad(5)), std::cos(rad(5)), 0});
    EXPECT_EQ(shapes("level roll")[0].color, kWhite);
    EXPECT_NEAR(direction(shapes("level roll")[0].path), rad(5), 1e-9);
}

TEST_F(SpiritLevelViewTest, LyingFlatTheBubbleMovesWithTheTiltsMirroredFaceDown) {
    const double small = std::tan(rad(0.4)); // the averaged angles come in steps of 0.2
    hold(DeviceOrientation::faceUp, {-small, -small, -1});
    EXPECT_NEAR(camera->angleXZ.get().degrees(), 0.4, 1e-9);
    EXPECT_TRUE(shapes("level pitch").empty());
    const auto bubble = shapes("level bubble")[0];
    EXPECT_TRUE(bubble.filled());
    EXPECT_NEAR(bubble.path.boundingRect().midX(), kC.x, 1e-9);
    EXPECT_NEAR(bubble.path.boundingRect().midY(), kC.y, 1e-9);
    EXPECT_NEAR(bubble.path.boundingRect().width, 2 * kR / 5.5, 1e-9);
    EXPECT_EQ(shapes("level ring")[0].color, kGreen);
    EXPECT_NEAR(shapes("level ring")[0].path.boundingRect().width, 2 * (kR / 5 + 2), 1e-9);

    const double nine = std::tan(rad(9));
    hold(DeviceOrientation::faceUp, {-nine, 0, -1});
    EXPECT_NEAR(shapes("level bubble")[0].path.boundingRect().midX(), kC.x + kR / 5, 1e-9);
    EXPECT_EQ(shapes("level ring")[0].color, kWhite);
    hold(DeviceOrientation::faceDown, {nine, 0, 1});
    EXPECT_NEAR(camera->angleXZ.get().degrees(), 9, 1e-9);
    EXPECT_NEAR(shapes("level bubble")[0].path.boundingRect().midX(), kC.x - kR / 5, 1e-9);
}

TEST_F(SpiritLevelViewTest, ARollThatIsNotANumberIsWhiteUnturnedAndTheRestStillDraws) {
    hold(DeviceOrientation::faceUp, {0, 0, -1});
    EXPECT_TRUE(std::isnan(camera->angleXY.get().radians)) << "atan(0 / 0)";
    // "1": the phone is upright again before the next sample comes.
    phone.setOrientation(DeviceOrientation::portrait);
    camera->updateDeviceOrientation();
    pump();
    graph->settle();
    ASSERT_EQ(camera->deviceOrientation.get(), DeviceOrientation::portrait);
    ASSERT_TRUE(std::isnan(camera->angleXY.get().radians));
    for (const auto& line : shapes("level roll")) {
        EXPECT_EQ(line.color, kWhite);
        EXPECT_NEAR(direction(line.path), 0, 1e-12);
    }
    const RenderedImage picture = graph->tree().render();
    const std::uint32_t square = picture.at(60, 60);
    EXPECT_TRUE(((square >> 16) & 0xffu) > 200 && ((square >> 8) & 0xffu) < 100)
        << "the red square after the level";
    EXPECT_NE(picture.at(3 * 195, 3 * 260 - 3 * 98) & 0xffffffu, 0u) << "the circle";
}

} // namespace
} // namespace qv
