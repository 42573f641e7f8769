#include "ComponentsPage.hpp"

#include "ComponentTesting.hpp"
#include "DocsPicture.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;

// The page is drawn to docs/components.png on request (QV_UPDATE_DOCS=1), otherwise to a
// temporary file that is removed again, so a run leaves the tree clean.
TEST(ComponentsPage, ShowsEveryComponentUnclippedWithTheSelectionCentredAndTheGlyphInverted) {
    platform::ConsoleCapture console; // the geometry reader prints its measurement
    VirtualDispatch dispatch;
    ViewGraph graph([] { return testing::componentsPage(); }, testing::phone());
    graph.settle();
    const ViewTree& tree = graph.tree();

    const Rect screen{0, 0, 390, 844};
    for (const char* tag : {"grid", "turned grid", "rings", "toggles", "invitation"}) {
        const Rect r = tree.get(Query::tag(tag)).screenFrame();
        EXPECT_TRUE(r.minX() >= 0 && r.minY() >= 47 && r.maxX() <= 390 && r.maxY() <= 844 - 34)
            << tag << " lies inside the safe area";
    }
    for (const Element* text : tree.findAll(Query::kind("Text"))) {
        if (text->screenFrame().intersected(screen).width > 0 &&
            tree.get(Query::tag("invitation"))
                .screenFrame()
                .contains(text->screenFrame().center())) {
            continue; // the invitation is drawn scaled; its own tests check its texts
        }
        EXPECT_FALSE(text->textInfo()->truncated) << text->text();
    }

    // ISO 800 stands in the middle of the upright grid, and of the turned one.
    for (const char* tag : {"grid", "turned grid"}) {
        const Element& grid = tree.get(Query::tag(tag));
        const auto scrolls = findAll(grid, Query::kind("ScrollView"));
        const auto chosen = findAll(grid, Query::tag("selector item 12"));
        ASSERT_EQ(scrolls.size(), 1u);
        ASSERT_EQ(chosen.size(), 1u);
        const Element& scroll = *scrolls.front();
        const Element& selected = *chosen.front();
        EXPECT_NEAR(selected.screenFrame().midX(), scroll.screenFrame().midX(), 0.5) << tag;
        EXPECT_NEAR(selected.screenFrame().midY(), scroll.screenFrame().midY(), 0.5) << tag;
    }

    const testing::DocsPicture picture("components.png");
    ASSERT_TRUE(tree.writePng(picture.path()));

    // The glyph, white on the button like its label, is drawn inverted: dark lines on the
    // accent colour, nothing white.
    const RenderedImage image = tree.render();
    const Rect glyph = tree.get(Query::symbol("IGglyph")).screenFrame();
    const double scale = graph.options().scale;
    int dark = 0, white = 0;
    for (int y = static_cast<int>(glyph.minY() * scale); y < static_cast<int>(glyph.maxY() * scale);
         ++y) {
        for (int x = static_cast<int>(glyph.minX() * scale);
             x < static_cast<int>(glyph.maxX() * scale); ++x) {
            const std::uint32_t px = image.at(x, y);
            const int sum =
                static_cast<int>(((px >> 16) & 0xff) + ((px >> 8) & 0xff) + (px & 0xff));
            dark += sum < 3 * 40 ? 1 : 0;
            white += sum > 3 * 230 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 10);
    EXPECT_EQ(white, 0);
}

} // namespace
} // namespace qv
