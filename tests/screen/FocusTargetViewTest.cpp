#include "screen/overlays/FocusTargetView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::endOf;
using testing::startOf;

struct Marker {
    Marker(double width, double height)
        : tree(View(FocusTargetView{}).frame(width, height).foregroundColor(Color::white(1, 0.6)),
               testing::sceneOf(width, height)),
          shapes(testing::shapesIn(tree.root(), "focus target")) {}
    ViewTree tree;
    std::vector<Element::ShapeInfo> shapes;
};

double radiusOf(const Path& circle) {
    return circle.boundingRect().width / 2;
}

Point centreOf(const Path& circle) {
    return circle.boundingRect().center();
}

// How far the tick's two ends lie from `c`.
std::pair<double, double> reach(const Path& tick, Point c) {
    const auto distance = [c](Point p) { return std::hypot(p.x - c.x, p.y - c.y); };
    return {distance(startOf(tick)), distance(endOf(tick))};
}

TEST(FocusTargetView, InTheScreensSquareTheRingsDotAndTicksFollowTheSide) {
    const Marker marker(75, 75);
    ASSERT_EQ(marker.shapes.size(), 8u);
    const Point c{37.5, 37.5};
    const double r = 28.125;
    const double lw = 0.84375;
    const double radii[] = {r, 0.85 * r, 0.5 * r, 2.8125};
    const double widths[] = {2 * lw, lw, lw};
    for (int i = 0; i < 4; ++i) {
        const auto& ring = marker.shapes[std::size_t(i)];
        EXPECT_NEAR(radiusOf(ring.path), radii[i], 1e-9) << i;
        EXPECT_NEAR(centreOf(ring.path).x, c.x, 1e-9);
        EXPECT_NEAR(centreOf(ring.path).y, c.y, 1e-9);
        if (i < 3) {
            EXPECT_EQ(ring.lineWidth(), widths[i]);
            EXPECT_EQ(ring.stroke->lineCap, LineCap::butt);
            EXPECT_EQ(ring.stroke->lineJoin, LineJoin::miter);
            EXPECT_EQ(ring.stroke->miterLimit, 10);
        } else {
            EXPECT_TRUE(ring.filled()) << "the dot";
        }
    }
    for (int i = 4; i < 8; ++i) {
        const auto& tick = marker.shapes[std::size_t(i)];
        const auto [inner, outer] = reach(tick.path, c);
        EXPECT_NEAR(inner, 7.5, 1e-9);
        EXPECT_NEAR(outer, 37.5, 1e-9);
        EXPECT_EQ(tick.lineWidth(), lw);
        EXPECT_EQ(tick.stroke->lineCap, LineCap::round);
    }
    for (const auto& shape : marker.shapes) {
        EXPECT_EQ(shape.color, (Color::Rgba{1, 1, 1, 0.6})) << "every part in the foreground";
    }
}

TEST(FocusTargetView, AWideFrameIsSizedByItsShortSideAndStaysCentred) {
    const Marker marker(100, 60);
    ASSERT_EQ(marker.shapes.size(), 8u);
    const Point c{50, 30};
    EXPECT_NEAR(radiusOf(marker.shapes[0].path), 22.5, 1e-9);
    EXPECT_NEAR(centreOf(marker.shapes[0].path).x, c.x, 1e-9);
    EXPECT_NEAR(centreOf(marker.shapes[0].path).y, c.y, 1e-9);
    const auto [inner, outer] = reach(marker.shapes[5].path, c);
    EXPECT_NEAR(inner, 6, 1e-9);
    EXPECT_NEAR(outer, 30, 1e-9) << "the right tick ends at m, inside the frame";
    EXPECT_NEAR(endOf(marker.shapes[5].path).x, 80, 1e-9);
}

} // namespace
} // namespace qv
