#include "components/ProgressCircle.hpp"

#include "platform/ui/scene/ViewTree.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace qv {
namespace {

using namespace platform::ui;

// The ring in a 132-point square: the circle, inside the default padding, is 100 across
// about (66, 66).
struct Ring {
    explicit Ring(double remaining, double total)
        : tree(View(ProgressCircle{platform::Binding<double>::constant(remaining), total})
                   .frame(132, 132),
               [] {
                   SceneOptions o;
                   o.size = {132, 132};
                   return o;
               }()) {}
    ViewTree tree;
    // The shape of the part tagged `tag`, if the ring draws it.
    std::optional<Element::ShapeInfo> shape(const std::string& tag) const {
        const Element* e = tree.find(Query::tag(tag));
        return e != nullptr ? findAll(*e, Query::kind("Shape")).front()->shapeInfo() : std::nullopt;
    }
    std::optional<Element::ShapeInfo> arc() const { return shape("progress arc"); }
};

Point endOf(const Path& path) {
    const auto& last = path.elements().back();
    return last.op == Path::Op::curve ? last.p[2] : last.p[0];
}

// Whether the outline runs all the way round: closed, or ending where it starts.
bool isWholeCircle(const Path& path) {
    const Point start = path.elements().front().p[0];
    const Point end = endOf(path);
    return path.elements().back().op == Path::Op::close ||
           (std::abs(end.x - start.x) < 1e-6 && std::abs(end.y - start.y) < 1e-6);
}

TEST(ProgressCircle, TheTrackIsAGrayCircleUnderTheArc) {
    Ring ring(30, 60);
    const auto track = *ring.shape("progress track");
    EXPECT_EQ(track.lineWidth(), 10);
    EXPECT_EQ(track.stroke->lineCap, LineCap::butt);
    EXPECT_EQ(track.color, (Color::Rgba{0.5, 0.5, 0.5, 1}));
    EXPECT_DOUBLE_EQ(track.opacity, 0.4);
    const Rect box = track.path.boundingRect();
    EXPECT_NEAR(box.minX(), 16, 1e-9);
    EXPECT_NEAR(box.maxX(), 116, 1e-9);

    const auto arc = *ring.arc();
    EXPECT_EQ(arc.lineWidth(), 10);
    EXPECT_EQ(arc.stroke->lineCap, LineCap::round);
    EXPECT_EQ(arc.stroke->lineJoin, LineJoin::round);
    EXPECT_EQ(arc.color, (Color::Rgba{0.75, 0.75, 0.75, 1}));
    EXPECT_DOUBLE_EQ(arc.opacity, 1);
}

TEST(ProgressCircle, AQuarterLeftRunsFromTwelveToThreeOClock) {
    Ring ring(15, 60);
    const auto arc = *ring.arc();
    const Point start = arc.path.elements().front().p[0];
    EXPECT_NEAR(start.x, 66, 1e-6);
    EXPECT_NEAR(start.y, 16, 1e-6);
    EXPECT_NEAR(endOf(arc.path).x, 116, 1e-6);
    EXPECT_NEAR(endOf(arc.path).y, 66, 1e-6);
    EXPECT_NEAR(arc.path.boundingRect().maxY(), 66, 1e-6) << "nothing below 3 o'clock";
}

TEST(ProgressCircle, AllTimeLeftClosesTheCircle) {
    Ring ring(60, 60);
    const auto arc = *ring.arc();
    EXPECT_TRUE(isWholeCircle(arc.path));
    const Rect box = arc.path.boundingRect();
    EXPECT_NEAR(box.minX(), 16, 1e-6);
    EXPECT_NEAR(box.maxY(), 116, 1e-6);
}

TEST(ProgressCircle, NoTimeLeftOrNoTotalDrawsTheTrackAlone) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [remaining, total] :
         {std::pair{0.0, 60.0}, std::pair{-3.0, 60.0}, std::pair{10.0, 0.0}, std::pair{10.0, -5.0},
          std::pair{nan, 60.0}}) {
        SCOPED_TRACE(std::to_string(remaining) + " of " + std::to_string(total));
        Ring ring(remaining, total);
        EXPECT_FALSE(ring.arc().has_value());
        EXPECT_NE(ring.tree.find(Query::tag("progress track")), nullptr);
    }
    Ring over(90, 60);
    EXPECT_TRUE(isWholeCircle(over.arc()->path)) << "more than the total left: the full circle";
}

} // namespace
} // namespace qv
