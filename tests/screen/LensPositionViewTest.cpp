#include "screen/overlays/LensPositionView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::startOf;

constexpr double kHeight = 40;

// The scale in a frame `width` points wide, with a fixed lens position.
ViewTree scale(double width, float lens = 0.5f) {
    return ViewTree(
        View(LensPositionView{lens, SequenceMode::frameAveraging, {}}).frame(width, kHeight),
        testing::sceneOf(width, kHeight));
}

TEST(LensPositionView, ARulerOf300PointsHasMajorTicksEvery30AndTwoMinorTicksBetween) {
    // The frame that leaves the scale area 300 points between the "0" and the symbol.
    const double around = 320 - scale(320).get(Query::tag("lens scale")).frame().width;
    const ViewTree tree = scale(300 + around);
    const Rect area = tree.get(Query::tag("lens scale")).frame();
    ASSERT_NEAR(area.width, 300, 1e-9);
    const double hs = 0.9 * area.height;

    std::vector<double> major, minor;
    for (const auto& shape : testing::shapesIn(tree.get(Query::tag("lens scale")))) {
        if (!shape.stroke) {
            continue; // the marker
        }
        const Point bottom = startOf(shape.path);
        EXPECT_NEAR(bottom.y, area.maxY(), 1e-9) << "ticks stand on the bottom";
        EXPECT_EQ(shape.stroke->lineCap, LineCap::butt);
        const double top = testing::endOf(shape.path).y;
        if (shape.lineWidth() == 2) {
            major.push_back(bottom.x - area.minX());
            EXPECT_NEAR(top, area.maxY() - hs + 0.4 * hs, 1e-9);
        } else {
            minor.push_back(bottom.x - area.minX());
            EXPECT_NEAR(top, area.maxY() - hs + 0.5 * hs, 1e-9);
        }
    }
    ASSERT_EQ(major.size(), 11u);
    ASSERT_EQ(minor.size(), 20u);
    for (std::size_t i = 0; i < major.size(); ++i) {
        EXPECT_NEAR(major[i], 30.0 * double(i), 1e-9);
    }
    for (std::size_t i = 0; i < minor.size(); ++i) {
        EXPECT_NEAR(minor[i], 30.0 * double(i / 2) + 10.0 * double(i % 2 + 1), 1e-9);
    }
    const auto marker = testing::shapesIn(tree.root(), "lens marker").front();
    EXPECT_TRUE(marker.filled());
    EXPECT_NEAR(marker.path.boundingRect().midX(), area.minX() + 150, 1e-9);
    EXPECT_NEAR(marker.path.boundingRect().width, 0.04 * 300, 1e-9);
    EXPECT_NEAR(marker.path.boundingRect().height, 0.3 * hs, 1e-9);
}

TEST(LensPositionView, AScaleWithoutWidthGivesNoPosition) {
    EXPECT_FALSE(LensPositionView::position(10, 0).has_value());
    EXPECT_FALSE(LensPositionView::position(0, 0).has_value());
    EXPECT_EQ(LensPositionView::position(-5, 300), 0.0f);
    EXPECT_EQ(LensPositionView::position(400, 300), 1.0f);
    EXPECT_EQ(LensPositionView::position(75, 300), 0.25f);
}

class LensPositionViewTest : public testing::SimulatedPhoneTest {
protected:
    void show() {
        graph.emplace(
            [this] {
                return View(testing::ControllerView{*camera,
                                                    [this](CameraManager& c) -> View {
                                                        return LensPositionView{
                                                            c.lensPosition.get(),
                                                            c.sequenceMode.get(), [this](float p) {
                                                                asked.push_back(p);
                                                                camera->setLensPosition(p);
                                                            }};
                                                    }})
                    .frame(390, kHeight);
            },
            testing::sceneOf(390, kHeight));
        graph->settle();
        input.emplace(*graph, dispatch);
        area = graph->tree().get(Query::tag("lens scale")).frame();
    }
    double markerX() {
        graph->settle();
        const auto marker = testing::shapesIn(graph->tree().root(), "lens marker").front();
        return (marker.path.boundingRect().midX() - area.minX()) / area.width;
    }
    float deviceLens() const { return camera->activeCaptureDevice.get()->state().lensPosition; }

    std::vector<float> asked;
    std::optional<ViewGraph> graph;
    std::optional<SyntheticInput> input;
    Rect area;
};

TEST_F(LensPositionViewTest, DragsPastEitherEndSetTheDeviceToZeroAndOne) {
    startSimulated();
    show();
    input->drag({area.midX(), area.midY()}, {area.minX() - 40, area.midY()});
    pump();
    EXPECT_EQ(asked.back(), 0.0f);
    EXPECT_EQ(deviceLens(), 0.0f);
    EXPECT_NEAR(markerX(), 0, 1e-6) << "the published position";

    input->drag({area.midX(), area.midY()}, {area.maxX() + 40, area.midY()});
    pump();
    EXPECT_EQ(asked.back(), 1.0f);
    EXPECT_EQ(deviceLens(), 1.0f);
    for (float p : asked) {
        EXPECT_TRUE(p >= 0 && p <= 1) << p;
    }
    EXPECT_GT(asked.size(), 8u) << "every move asks outside star trails";
}

TEST_F(LensPositionViewTest, InStarTrailsOnlyTheEndAsksWhileTheMarkerFollowsTheFinger) {
    startSimulated();
    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    show();
    const float published = camera->lensPosition.get();
    const double y = area.midY();
    input->send(platform::input::PointerPhase::down, {area.minX() + 0.5 * area.width, y});
    input->send(platform::input::PointerPhase::moved, {area.minX() + 0.3 * area.width, y});
    input->send(platform::input::PointerPhase::moved, {area.minX() + 0.2 * area.width, y});
    EXPECT_NEAR(markerX(), 0.2, 1e-6) << "the marker follows the finger";
    EXPECT_TRUE(asked.empty());

    camera->lensPosition = 0.9f; // the camera reports a move meanwhile
    EXPECT_NEAR(markerX(), 0.2, 1e-6) << "a drag ignores the published position";

    input->send(platform::input::PointerPhase::up, {area.minX() + 0.2 * area.width, y});
    pump();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NEAR(asked[0], 0.2f, 1e-6);
    EXPECT_NEAR(deviceLens(), 0.2f, 1e-6);
    EXPECT_NEAR(markerX(), camera->lensPosition.get(), 1e-6) << "back to the published one";
    EXPECT_NE(published, 0.2f);
}

} // namespace
} // namespace qv
