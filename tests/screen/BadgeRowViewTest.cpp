#include "screen/overlays/BadgeRowView.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;

// The unit of a 390 x 763-point safe area: min(390 / 31, (763 - 520) / 16).
constexpr double kUnit = 390.0 / 31;

const Element& badge(const ViewTree& tree, const std::string& tag) {
    return tree.get(Query::tag(tag));
}

Color::Rgba outlineColor(const ViewTree& tree, const std::string& tag) {
    return testing::shapesIn(badge(tree, tag), "badge outline").front().color;
}

Color::Rgba labelColor(const ViewTree& tree, const std::string& tag) {
    return findAll(badge(tree, tag), Query::kind("Text")).front()->environment().foregroundColor();
}

const Color::Rgba kGray{0.5, 0.5, 0.5, 1};
const Color::Rgba kWhite{1, 1, 1, 1};

class BadgeRowViewTest : public testing::SimulatedPhoneTest {
protected:
    // The row as the screen makes it from the controller, with its two action rows.
    void show() {
        graph.emplace(
            [this] {
                return View(testing::ControllerView{*camera, [](CameraManager& c) -> View {
                                                        return BadgeRowView{
                                                            c.sequenceMode.get(),
                                                            c.settings.fileFormat.get(),
                                                            c.availableCameras().size(),
                                                            kUnit,
                                                            [] {},
                                                            [&c] {
                                                                if (!c.isShootingWithTimeLeft() &&
                                                                    !c.settings.lockFormat.get()) {
                                                                    c.toggleFileFormat();
                                                                }
                                                            }};
                                                    }});
            },
            testing::sceneOf(390, 520));
        graph->settle();
        input.emplace(*graph, dispatch);
    }
    std::optional<ViewGraph> graph;
    std::optional<SyntheticInput> input;
};

TEST_F(BadgeRowViewTest, TheModeBadgeIsGrayInFrameAveragingAndWhiteInStarTrails) {
    startSimulated();
    show();
    const ViewTree& tree = graph->tree();
    EXPECT_EQ(findAll(badge(tree, "mode badge"), Query::text("FA")).size(), 1u);
    EXPECT_EQ(outlineColor(tree, "mode badge"), kGray);
    EXPECT_EQ(labelColor(tree, "mode badge"), kGray);

    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    graph->settle();
    EXPECT_EQ(findAll(badge(graph->tree(), "mode badge"), Query::text("ST")).size(), 1u);
    EXPECT_EQ(outlineColor(graph->tree(), "mode badge"), kWhite);
    EXPECT_EQ(labelColor(graph->tree(), "mode badge"), kWhite);
}

TEST_F(BadgeRowViewTest, TheFormatBadgeStepsThroughTheControllerAndStaysGray) {
    startSimulated();
    camera->settings.fileFormat = SupportedImageFormat::RAW;
    show();
    for (const char* label : {"RAW", "JPEG", "TIFF", "RAW"}) {
        const ViewTree& tree = graph->tree();
        EXPECT_EQ(findAll(badge(tree, "format badge"), Query::text(label)).size(), 1u) << label;
        EXPECT_EQ(outlineColor(tree, "format badge"), kGray);
        input->tap(Query::tag("format badge"));
        pump();
        graph->settle();
    }
    camera->settings.lockFormat = true;
    input->tap(Query::tag("format badge"));
    pump();
    graph->settle();
    EXPECT_EQ(camera->settings.fileFormat.get(), SupportedImageFormat::JPEG)
        << "a locked format does not step";
    EXPECT_EQ(findAll(badge(graph->tree(), "format badge"), Query::text("JPEG")).size(), 1u);
}

TEST_F(BadgeRowViewTest, OneCameraAddsTheLargerNearlyInvisibleBackdropUnderEachBadge) {
    startSimulated();
    show();
    for (const char* tag : {"mode badge", "format badge"}) {
        const Element& b = badge(graph->tree(), tag);
        const auto larger = testing::shapesIn(b, "badge camera backdrop");
        const auto backdrop = testing::shapesIn(b, "badge backdrop");
        ASSERT_EQ(larger.size(), 1u) << tag;
        ASSERT_EQ(backdrop.size(), 1u);
        EXPECT_EQ(larger[0].color, (Color::Rgba{0, 0, 0, 0.01}));
        EXPECT_EQ(backdrop[0].color, (Color::Rgba{0, 0, 0, 0.6}));
        EXPECT_NEAR(larger[0].path.boundingRect().width, 8 * kUnit, 1e-9);
        EXPECT_NEAR(larger[0].path.boundingRect().height, 4 * kUnit / 0.75, 1e-9);
        EXPECT_NEAR(backdrop[0].path.boundingRect().width, 6 * kUnit, 1e-9);
        EXPECT_NEAR(backdrop[0].path.boundingRect().height, 4 * kUnit / 1.3, 1e-9);
    }
}

TEST(BadgeRowView, TwoCamerasGiveOnlyTheBackdropAndNoUnitGivesZeroSizedBadgesInTheirSlots) {
    const ViewTree two(
        BadgeRowView{SequenceMode::lightTrails, SupportedImageFormat::TIFF, 2, kUnit, {}, {}},
        testing::sceneOf(390, 520));
    EXPECT_TRUE(testing::shapesIn(badge(two, "mode badge"), "badge camera backdrop").empty());
    EXPECT_EQ(testing::shapesIn(badge(two, "mode badge"), "badge backdrop").size(), 1u);
    const Rect mode = badge(two, "mode badge").frame();
    EXPECT_NEAR(mode.minX(), 1 + 12, 1e-9) << "12 in from the slot, 1 from the edge";
    const Rect format = badge(two, "format badge").frame();
    EXPECT_NEAR(format.maxX(), 390 - 12, 1e-9);

    const ViewTree none(
        BadgeRowView{SequenceMode::lightTrails, SupportedImageFormat::TIFF, 1, 0, {}, {}},
        testing::sceneOf(390, 520));
    for (const char* tag : {"mode badge", "format badge"}) {
        const Rect frame = badge(none, tag).frame();
        EXPECT_EQ(frame.width, 0) << tag;
        EXPECT_EQ(frame.height, 0) << tag;
    }
    const auto slots = none.findAll(Query::tag("badge slot"));
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0]->frame(), (Rect{1, 12, 90, 25})) << "the slots keep their frames";
    EXPECT_EQ(slots[1]->frame(), (Rect{390 - 90, 12, 90, 25}));
}

} // namespace
} // namespace qv
