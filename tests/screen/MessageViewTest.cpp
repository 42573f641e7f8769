#include "screen/overlays/MessageView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;

// The message box as the screen sizes it on a 390-point phone: 0.85 x 0.25 of the width.
constexpr Size kBox{331.5, 97.5};

ViewTree box(std::string message) {
    return ViewTree(View(MessageView{std::move(message)}).frame(kBox.width, kBox.height),
                    testing::sceneOf(kBox.width, kBox.height));
}

class MessageViewTest : public testing::SimulatedPhoneTest {};

TEST_F(MessageViewTest, TheNightModeRefusalShowsVerbatimInLightGrayOverTranslucentBlack) {
    startSimulated(testing::smallSimulatedProfile(/*autoFocus=*/false));
    ViewGraph graph(
        [this] {
            return View(testing::ControllerView{*camera,
                                                [](CameraManager& c) -> View {
                                                    return If(c.isShowingMessageOverlay.get(), [&] {
                                                        return View(
                                                            MessageView{c.messageToShow.get()});
                                                    });
                                                }})
                .frame(kBox.width, kBox.height);
        },
        testing::sceneOf(kBox.width, kBox.height));
    graph.settle();
    EXPECT_EQ(graph.tree().find(Query::tag("message")), nullptr);

    camera->sequenceMode = SequenceMode::nightMode;
    press();
    graph.settle();
    const Element& text = graph.tree().get(Query::tag("message"));
    EXPECT_EQ(text.text(), "Camera not compatible with Night Mode");
    EXPECT_EQ(text.environment().foregroundColor(), (Color::Rgba{2.0 / 3, 2.0 / 3, 2.0 / 3, 1}));
    EXPECT_EQ(text.environment().font, Font::title2());
    const Element& ground = *graph.tree().findAll(Query::kind("Color")).front();
    EXPECT_EQ(ground.frame(), (Rect{0, 0, kBox.width, kBox.height}));
    EXPECT_EQ(ground.shapeInfo()->color, (Color::Rgba{0, 0, 0, 0.7}));

    wait(1.5);
    graph.settle();
    EXPECT_EQ(graph.tree().find(Query::tag("message")), nullptr) << "gone after 1.5 s";
}

TEST(MessageView, ALongMessageWrapsOnTheLeadingEdgeInACentredBlock) {
    const ViewTree tree = box("Saved to Documents only, not to Photos: the library refused it");
    const Element& text = tree.get(Query::tag("message"));
    EXPECT_GE(text.textInfo()->lines, 2);
    EXPECT_FALSE(text.textInfo()->truncated);
    EXPECT_EQ(text.environment().multilineTextAlignment, TextAlignment::leading);
    EXPECT_NEAR(text.frame().midX(), kBox.width / 2, 1e-9);
    EXPECT_NEAR(text.frame().midY(), kBox.height / 2, 1e-9);
}

TEST(MessageView, AnEmptyMessageShowsTheGroundAlone) {
    const ViewTree tree = box("");
    EXPECT_TRUE(tree.findAll(Query::kind("Text")).empty());
    EXPECT_EQ(tree.findAll(Query::kind("Color")).size(), 1u);
}

} // namespace
} // namespace qv
