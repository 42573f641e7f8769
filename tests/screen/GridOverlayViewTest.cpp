#include "screen/overlays/GridOverlayView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace qv {
namespace {

using namespace platform::ui;
using testing::endOf;
using testing::startOf;

// The lines the grid draws in a frame of its own, as (start, end) pairs.
std::vector<std::pair<Point, Point>> drawn(GridOverlayType type, double width, double height) {
    const ViewTree tree(GridOverlayView{type, Color::white(1, 0.6), 1},
                        testing::sceneOf(width, height));
    std::vector<std::pair<Point, Point>> lines;
    for (const auto& shape : testing::shapesIn(tree.root(), "grid")) {
        EXPECT_EQ(shape.color, (Color::Rgba{1, 1, 1, 0.6}));
        EXPECT_EQ(shape.lineWidth(), 1);
        EXPECT_EQ(shape.stroke->lineCap, LineCap::butt);
        lines.emplace_back(startOf(shape.path), endOf(shape.path));
    }
    return lines;
}

std::size_t verticals(const std::vector<std::pair<Point, Point>>& lines) {
    return std::size_t(std::count_if(lines.begin(), lines.end(),
                                     [](const auto& l) { return l.first.x == l.second.x; }));
}

TEST(GridOverlayView, ThreeByThreeInAnUprightFrameDrawsTheVerticalsFirst) {
    const auto lines = drawn(GridOverlayType::rectangular(3, 3), 300, 400);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (std::pair{Point{100, 0}, Point{100, 400}}));
    EXPECT_EQ(lines[1], (std::pair{Point{200, 0}, Point{200, 400}}));
    EXPECT_NEAR(lines[2].first.y, 133.33, 0.01);
    EXPECT_EQ(lines[2].first.x, 0);
    EXPECT_EQ(lines[2].second.x, 300);
    EXPECT_NEAR(lines[3].first.y, 266.67, 0.01);
}

TEST(GridOverlayView, TheLongCountRunsAlongTheLongSideAndASquareCountsUpright) {
    const auto upright = drawn(GridOverlayType::rectangular(3, 4), 300, 400);
    EXPECT_EQ(upright.size(), 5u);
    EXPECT_EQ(verticals(upright), 2u);
    const auto flat = drawn(GridOverlayType::rectangular(3, 4), 400, 300);
    EXPECT_EQ(verticals(flat), 3u);
    EXPECT_EQ(flat.size() - verticals(flat), 2u);
    const auto square = drawn(GridOverlayType::rectangular(3, 4), 300, 300);
    EXPECT_EQ(verticals(square), 2u);
    EXPECT_EQ(square.size() - verticals(square), 3u);
    EXPECT_TRUE(drawn(GridOverlayType::rectangular(1, 0), 300, 400).empty())
        << "counts below 2 draw no line";
}

TEST(GridOverlayView, TheGoldenRatioCutsAtThreeEightyTwoAndSixEighteen) {
    const auto lines = drawn(GridOverlayType::goldenRatio(), 200, 100);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NEAR(lines[0].first.x, 76.4, 1e-9);
    EXPECT_NEAR(lines[1].first.x, 123.6, 1e-9);
    EXPECT_NEAR(lines[2].first.y, 38.2, 1e-9);
    EXPECT_NEAR(lines[3].first.y, 61.8, 1e-9);
    EXPECT_EQ(lines[2].second, (Point{200, 38.2}));
}

TEST(GridOverlayType, EveryLineMadeHasAnIdentityOfItsOwn) {
    const auto first = GridOverlayType::goldenRatio().lineCoordinates(200, 100);
    const auto again = GridOverlayType::goldenRatio().lineCoordinates(200, 100);
    std::set<std::uint64_t> ids;
    for (const auto* lines : {&first, &again}) {
        for (const auto& line : *lines) {
            ids.insert(line.id);
        }
    }
    EXPECT_EQ(ids.size(), 8u);
}

class GridOverlayViewTest : public testing::SimulatedPhoneTest {};

TEST_F(GridOverlayViewTest, TheControllersCycleRedrawsTheGrid) {
    startSimulated();
    ViewGraph graph(
        [this] {
            return View(testing::ControllerView{
                *camera, [](CameraManager& c) -> View {
                    return GridOverlayView{c.gridOverlayType.get(), Color::white(1, 0.6), 1};
                }});
        },
        testing::sceneOf(390, 520));
    const auto lineCount = [&] {
        graph.settle();
        return testing::shapesIn(graph.tree().root(), "grid").size();
    };
    EXPECT_EQ(lineCount(), 4u) << "3 x 3 at first";
    for (const std::size_t expected : {6u, 4u, 4u, 6u}) { // 4 x 4, golden, 3 x 3, 4 x 4
        camera->cycleGridOverlay();
        pump();
        EXPECT_EQ(lineCount(), expected);
    }
    EXPECT_EQ(camera->gridOverlayType.get(), GridOverlayType::rectangular(4, 4));
    camera->gridOverlayType = GridOverlayType::rectangular(3, 4);
    camera->cycleGridOverlay();
    pump();
    EXPECT_TRUE(camera->gridOverlayType.get().isGoldenRatio()) << "any other grid";
}

} // namespace
} // namespace qv
