#include "screen/overlays/ResultCoverView.hpp"

#include "ScreenTesting.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/overlays/ResultImageView.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::DeviceOrientation;

constexpr double kUnit = 390.0 / 31;

class ResultCoverViewTest : public testing::SimulatedPhoneTest {
protected:
    // The cover as the screen presents it, closed by its "result close" row.
    void show() {
        graph.emplace(
            [this] {
                return View(testing::ControllerView{
                    *camera, [this](CameraManager& c) -> View {
                        return ResultCoverView{
                            c.resultUIImage.get(), c.deviceOrientation.get(), kUnit, [this, &c] {
                                ++closes;
                                platform::withAnimation([&c] { c.showResultImage = false; });
                            }};
                    }});
            },
            testing::phone());
        graph->settle();
        input.emplace(*graph, dispatch);
    }
    void turn(DeviceOrientation orientation) {
        phone.setOrientation(orientation);
        pump();
        camera->updateDeviceOrientation();
        pump();
        graph->settle();
    }

    int closes = 0;
    std::optional<ViewGraph> graph;
    std::optional<SyntheticInput> input;
};

TEST_F(ResultCoverViewTest, TheWaitingLineGivesWayToThePictureOnceTheRunPublishesIt) {
    startSimulated();
    plan(0, SupportedImageFormat::JPEG); // a single frame
    camera->showResultImage = true;
    show();
    const Element& waiting = graph->tree().get(Query::tag("result waiting"));
    EXPECT_EQ(findAll(waiting, Query::kind("Text")).front()->text(),
              "Please be patient while your photo is saved to Photos in the background.");
    EXPECT_EQ(findAll(waiting, Query::kind("Text")).front()->environment().multilineTextAlignment,
              TextAlignment::center);
    EXPECT_EQ(graph->tree().find(Query::tag("result image")), nullptr);

    press();
    wait(5);
    graph->settle();
    ASSERT_NE(camera->resultUIImage.get(), nullptr);
    EXPECT_EQ(graph->tree().find(Query::tag("result waiting")), nullptr);
    const Rect picture = graph->tree().get(Query::tag("result image")).screenFrame();
    EXPECT_NEAR(picture.width, 390 - 20, 1e-6) << "fitted, 10 points in";
    EXPECT_NEAR(picture.height, (390 - 20) * 4.0 / 3, 1e-6) << "shot upright, shown upright";
    EXPECT_NEAR(picture.midY(), 47 + (844 - 47 - 34) / 2.0, 1e-6) << "centred";
    EXPECT_TRUE(camera->showResultImage.get()) << "the cover was not reopened";
}

TEST_F(ResultCoverViewTest, TheCloseButtonStandsTopRightForTheUserAndATapClosesOnce) {
    startSimulated();
    camera->showResultImage = true;
    show();
    struct Case {
        DeviceOrientation orientation;
        bool right;
        bool top;
    };
    for (const Case c : {Case{DeviceOrientation::portrait, true, true},
                         Case{DeviceOrientation::faceUp, true, true},
                         Case{DeviceOrientation::landscapeRight, false, true},
                         Case{DeviceOrientation::portraitUpsideDown, false, false},
                         Case{DeviceOrientation::landscapeLeft, true, false}}) {
        turn(c.orientation);
        const Rect button = graph->tree().get(Query::tag("result close")).screenFrame();
        EXPECT_NEAR(c.right ? 390 - button.maxX() : button.minX(), 0, 1e-9) << name(c.orientation);
        EXPECT_NEAR(c.top ? button.minY() : 844 - button.maxY(), 0, 1e-9) << name(c.orientation);
        EXPECT_EQ(graph->tree().findAll(Query::tag("result close")).size(), 1u);
    }
    const Element& symbol = graph->tree().get(Query::symbol("xmark.circle"));
    EXPECT_NEAR(symbol.environment().font.size, 2.4 * kUnit, 1e-9);
    EXPECT_EQ(symbol.environment().foregroundColor(), (Color::Rgba{0.5, 0.5, 0.5, 1}));

    input->tap(Query::tag("result close"));
    pump();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(camera->showResultImage.get());
}

TEST(ResultImageView, ASmallPictureShowsFittedAtZoomOneAndUpsideDownTurnsByHalfATurn) {
    EXPECT_EQ(ResultImageView::zoomScale({390, 844}, {100, 50}, 1), 1);
    EXPECT_EQ(ResultImageView::zoomScale({390, 844}, {4032, 3024}, 1), 1);
    EXPECT_EQ(ResultImageView::zoomScale({390, 844}, {4032, 3024}, 3), 3);

    auto small = std::make_shared<platform::RgbaImage>(100, 50, 8);
    for (const auto orientation :
         {DeviceOrientation::portrait, DeviceOrientation::portraitUpsideDown}) {
        const ViewTree tree(ResultImageView{small, orientation}, testing::sceneOf(390, 844));
        const Element& picture = tree.get(Query::tag("result image"));
        EXPECT_NEAR(picture.frame().width, 370, 1e-9);
        EXPECT_NEAR(picture.frame().height, 185, 1e-9);
        const Transform t = picture.toScreen();
        EXPECT_NEAR(t.a, orientation == DeviceOrientation::portrait ? 1 : -1, 1e-12);
        EXPECT_NEAR(picture.screenFrame().midX(), 195, 1e-9);
        EXPECT_NEAR(picture.screenFrame().midY(), 422, 1e-9);
    }

    // A picture taken upright is as tall as the screen lets it be, and centred.
    auto upright = std::make_shared<platform::RgbaImage>(800, 600, 8);
    upright->orientation = platform::ImageOrientation::right;
    const ViewTree tall(ResultImageView{upright, DeviceOrientation::portrait},
                        testing::sceneOf(390, 844));
    const Rect picture = tall.get(Query::tag("result image")).screenFrame();
    EXPECT_NEAR(picture.width, 370, 1e-9);
    EXPECT_NEAR(picture.height, 370 * 4.0 / 3, 1e-9);
    EXPECT_NEAR(picture.midX(), 195, 1e-9);
    EXPECT_NEAR(picture.midY(), 422, 1e-9);
}

} // namespace
} // namespace qv
