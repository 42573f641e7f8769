#include "screen/overlays/HistogramView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::endOf;

// The histogram in a frame of its own size.
struct Drawn {
    Drawn(std::optional<Histogram> histogram, Size size)
        : tree(View(HistogramView{std::move(histogram)}).frame(size.width, size.height),
               testing::sceneOf(size.width, size.height)),
          plot(testing::shapesIn(tree.root(), "histogram plot")) {}
    ViewTree tree;
    std::vector<Element::ShapeInfo> plot; // red fill, red line, green..., blue..., border
    const Element::ShapeInfo& area(int channel) const { return plot[std::size_t(2 * channel)]; }
    const Element::ShapeInfo& line(int channel) const { return plot[std::size_t(2 * channel + 1)]; }
};

Histogram flat(std::uint64_t count) {
    return {std::vector<std::uint64_t>(256, count), std::vector<std::uint64_t>(256, count),
            std::vector<std::uint64_t>(256, count)};
}

// The highest point of an outline (the smallest y).
double top(const Path& path) {
    return path.boundingRect().minY();
}

TEST(HistogramView, TheLargestCountReachesNineTenthsOfThePlotAndScalesEveryChannel) {
    Histogram h = flat(0);
    h.red[100] = 500;
    h.green[128] = 1000;
    h.blue[200] = 250;
    const Drawn drawn(h, {200, 60});
    ASSERT_EQ(drawn.plot.size(), 7u);
    // The plot is 180 x 40 from (10, 10): the bottom at y = 50.
    EXPECT_NEAR(top(drawn.area(1).path), 50 - 0.9 * 40, 1e-9) << "green, the largest";
    EXPECT_NEAR(top(drawn.area(0).path), 50 - 0.9 * 40 * 0.5, 1e-9);
    EXPECT_NEAR(top(drawn.area(2).path), 50 - 0.9 * 40 * 0.25, 1e-9);

    const Color::Rgba colors[] = {Color::red().resolved(ColorScheme::dark),
                                  Color::green().resolved(ColorScheme::dark),
                                  Color::blue().resolved(ColorScheme::dark)};
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(drawn.area(c).filled());
        EXPECT_DOUBLE_EQ(drawn.area(c).color.alpha, 0.5);
        EXPECT_EQ(drawn.line(c).color, colors[c]);
        EXPECT_EQ(drawn.line(c).lineWidth(), 1);
        EXPECT_EQ(drawn.line(c).stroke->lineCap, LineCap::butt);
    }
    const auto& border = drawn.plot[6];
    EXPECT_EQ(border.color, (Color::Rgba{1, 1, 1, 0.3}));
    EXPECT_EQ(border.path.boundingRect(), (Rect{10.5, 10.5, 179, 39}))
        << "the stroke stays inside the plot";
    const auto& box = drawn.tree.get(Query::tag("histogram box"));
    EXPECT_EQ(box.frame(), (Rect{0, 0, 200, 60}));
    EXPECT_EQ(box.shapeInfo()->color, (Color::Rgba{0.5, 0.5, 0.5, 0.5}));
}

TEST(HistogramView, AFirstBinSpikeRisesAtHalfAStepAndTheLastVertexEndsTheSteps) {
    Histogram h = flat(0);
    h.red[0] = h.green[0] = h.blue[0] = 7;
    const Drawn drawn(h, {200, 60});
    const double stepX = 180.0 / 256;
    EXPECT_EQ(stepX, 0.703125);
    for (int c = 0; c < 3; ++c) {
        const auto& outline = drawn.area(c).path.elements();
        ASSERT_EQ(outline.size(), 256u + 3) << "corner, 256 bins, corner, close";
        EXPECT_EQ(outline[0].p[0], (Point{10, 50}));
        EXPECT_EQ(outline[1].p[0], (Point{10 + 0.5 * stepX, 50 - 36}));
        EXPECT_EQ(outline[2].p[0], (Point{10 + 1.5 * stepX, 50}));
        EXPECT_EQ(outline[256].p[0].x, 10 + 179.6484375);
        EXPECT_EQ(outline[257].p[0], (Point{190, 50}));
        EXPECT_EQ(outline[258].op, Path::Op::close);
    }
}

TEST(HistogramView, NoHistogramOrNoCountsDrawTheBoxAlone) {
    for (const auto& histogram : {std::optional<Histogram>{}, std::optional<Histogram>{flat(0)},
                                  std::optional<Histogram>{Histogram{}}}) {
        const Drawn drawn(histogram, {200, 60});
        EXPECT_TRUE(drawn.plot.empty());
        EXPECT_NE(drawn.tree.find(Query::tag("histogram box")), nullptr);
    }
}

TEST(HistogramView, AChannelLongerThanRedIsCutAtRedsLength) {
    Histogram h = flat(1);
    h.green.resize(300, 9);
    const Drawn drawn(h, {200, 60});
    EXPECT_EQ(drawn.area(1).path.elements().size(), 256u + 3);
    EXPECT_LE(drawn.area(1).path.boundingRect().maxX(), 190);
}

class HistogramViewTest : public testing::SimulatedPhoneTest {};

TEST_F(HistogramViewTest, TheSimulatedCamerasLiveFramesDrawThreeAreas) {
    startSimulated();
    ViewGraph graph(
        [this] {
            return View(testing::ControllerView{*camera,
                                                [](CameraManager& c) -> View {
                                                    return HistogramView{c.histogram.get()};
                                                }})
                .frame(331.5, 97.5);
        },
        testing::sceneOf(331.5, 97.5));
    graph.settle();
    EXPECT_TRUE(testing::shapesIn(graph.tree().root(), "histogram plot").empty());

    camera->toggleHistogram();
    wait(0.5);
    graph.settle();
    ASSERT_TRUE(camera->histogram.get().has_value());
    const auto plot = testing::shapesIn(graph.tree().root(), "histogram plot");
    ASSERT_EQ(plot.size(), 7u) << "three areas, their outlines and the border";
    double highest = 97.5;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(plot[std::size_t(2 * c)].path.elements().size(), 256u + 3);
        highest = std::min(highest, top(plot[std::size_t(2 * c)].path));
    }
    EXPECT_NEAR(highest, 10 + 0.1 * 77.5, 1e-9) << "the largest count at 0.9 of the plot";

    camera->toggleHistogram();
    pump();
    graph.settle();
    EXPECT_TRUE(testing::shapesIn(graph.tree().root(), "histogram plot").empty());
}

} // namespace
} // namespace qv
