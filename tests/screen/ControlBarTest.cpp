// The control row: which controls it holds, the labels, and manual focus.

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/controls/ControlBarView.hpp"
#include "screen/controls/FocusStepperView.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using testing::CameraScreenTest;

std::string twoCameras() {
    return R"({"cameras": [{"type": "wide", "photoSize": [400, 300], "previewSize": [160, 120],
        "videoSize": [160, 120]}, {"type": "tele", "photoSize": [400, 300],
        "previewSize": [160, 120], "videoSize": [160, 120]}]})";
}

class ControlBarTest : public CameraScreenTest {
protected:
    // The controls of the row, left to right, by tag ("spacer" for a spacer).
    std::vector<std::string> row() {
        const Element& bar = get("control bar");
        std::vector<std::string> children;
        for (const auto& child : bar.children()) {
            const std::string tag = child->tag();
            children.push_back(tag.empty() ? (child->kind() == "Spacer" ? "spacer" : child->kind())
                                           : tag);
        }
        return children;
    }
};

TEST_F(ControlBarTest, TheRowHoldsTheControlsForTheCamerasAndTheOverlay) {
    show();
    EXPECT_EQ(row(), (std::vector<std::string>{"focus badge", "spacer", "level button", "spacer",
                                               "histogram button", "spacer", "magnifier button"}));
    EXPECT_EQ(textIn("focus badge"), "AFc");

    tap("magnifier button");
    EXPECT_EQ(row(), (std::vector<std::string>{"focus badge", "spacer", "lens scale place",
                                               "spacer", "magnifier button"}));
    camera->sequenceMode = SequenceMode::starTrails;
    EXPECT_EQ(row(), (std::vector<std::string>{"focus badge", "spacer", "focus stepper", "spacer",
                                               "magnifier button"}));
}

TEST_F(ControlBarTest, TwoCamerasShowTheLensLabelAndATapSwitchesThem) {
    show(twoCameras());
    EXPECT_EQ(row(), (std::vector<std::string>{"focus badge", "spacer", "level button", "spacer",
                                               "lens badge", "spacer", "histogram button", "spacer",
                                               "magnifier button"}));
    EXPECT_EQ(textIn("lens badge"), "1x");
    tap("lens badge");
    EXPECT_EQ(textIn("lens badge"), "3x"); // the simulated telephoto camera
}

TEST_F(ControlBarTest, WithoutAutoFocusTheMagnifierBringsNoManualFocus) {
    show(testing::smallSimulatedProfile(/*autoFocus=*/false));
    tap("magnifier button");
    EXPECT_EQ(row(),
              (std::vector<std::string>{"focus badge", "spacer", "spacer", "magnifier button"}));
    EXPECT_TRUE(findAll(get("focus badge"), Query::kind("Text")).empty()) << "the ground alone";
}

TEST_F(ControlBarTest, TheFocusBadgeTellsTheModeAndTheButtonsTheirOverlay) {
    show();
    tap("focus badge"); // continuous auto focus: locked at the lens position
    EXPECT_EQ(textIn("focus badge"), "MF");
    EXPECT_EQ(ControlBarView::focusModeText(platform::FocusMode::autoFocus), "AF");

    const auto color = [&](const std::string& tag) {
        return findAll(get(tag), Query::kind("Image")).front()->environment().foregroundColor();
    };
    EXPECT_EQ(color("level button"), (Color::Rgba{0.5, 0.5, 0.5, 1}));
    tap("level button");
    EXPECT_EQ(color("level button"), (Color::Rgba{1, 1, 1, 1}));
    EXPECT_EQ(color("gear"), (Color::Rgba{0.5, 0.5, 0.5, 1}));
}

TEST_F(ControlBarTest, TheFocusStepperMovesTheLensWithinItsRange) {
    EXPECT_EQ(FocusStepperView::lensPositionText(0.837f), "0.84");
    EXPECT_EQ(FocusStepperView::lensPositionText(0.5f), "0.5");
    EXPECT_EQ(FocusStepperView::lensPositionText(0.004f), "0.0");
    EXPECT_EQ(FocusStepperView::lensPositionText(1), "1.0");

    show();
    camera->sequenceMode = SequenceMode::starTrails;
    tap("magnifier button");
    camera->setLensPosition(0.95f);
    advance(0.5);
    tap("focus step 0.1");
    advance(0.5);
    EXPECT_EQ(simulated->devices().front()->lensPosition(), 1.0f);
    EXPECT_EQ(textIn("lens readout"), "1.0");
    camera->setLensPosition(0.05f);
    advance(0.5);
    tap("focus step -0.1");
    advance(0.5);
    EXPECT_EQ(simulated->devices().front()->lensPosition(), 0.0f);
    tap("focus step 0.01");
    advance(0.5);
    EXPECT_EQ(textIn("lens readout"), "0.01");
}

} // namespace
} // namespace qv
