// Rows aligned on text baselines: texts of different sizes share a baseline,
// views without text stand on it with their bottom, and baselines reach out of
// nested containers.

#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

SceneOptions small() {
    SceneOptions o;
    o.size = {300, 200};
    o.scale = 1;
    return o;
}

double baseline(const ViewTree& t, const std::string& text, bool last = true) {
    return *t.get(Query::text(text)).textBaseline(last);
}

TEST(BaselineLayout, CaptionBesideTitleSharesTheLastBaseline) {
    ViewTree t(HStack({Text("Cap").font(Font::caption()), Text("Title").font(Font::title3())},
                      VerticalAlignment::lastTextBaseline),
               small());
    EXPECT_NEAR(baseline(t, "Cap"), baseline(t, "Title"), 1e-6);
    const Element& cap = t.get(Query::text("Cap"));
    const Element& title = t.get(Query::text("Title"));
    // Not merely top, centre or bottom aligned: the smaller text sits lower than
    // the title's top and its bottom is above the title's.
    EXPECT_GT(cap.frame().minY(), title.frame().minY() + 1);
    EXPECT_LT(cap.frame().maxY(), title.frame().maxY() - 0.5);
    // The row is as tall as its tallest part above and below the line.
    const Element& row = t.get(Query::kind("HStack"));
    EXPECT_NEAR(row.frame().height, title.frame().height, 1e-6);
    EXPECT_NEAR(title.frame().minY(), row.frame().minY(), 1e-6);
}

TEST(BaselineLayout, ViewWithoutTextStandsOnTheBaselineWithItsBottom) {
    ViewTree t(HStack({View(Color::red()).frame(10, 40).testTag("bar"),
                       Text("Title").font(Font::title3())},
                      VerticalAlignment::lastTextBaseline, 0),
               small());
    Rect bar = t.get(Query::tag("bar")).frame();
    const Element& title = t.get(Query::text("Title"));
    EXPECT_NEAR(bar.maxY(), baseline(t, "Title"), 1e-6);
    // The bar reaches above the title, the title's descent below the bar: the
    // row holds both.
    const Element& row = t.get(Query::kind("HStack"));
    EXPECT_NEAR(bar.minY(), row.frame().minY(), 1e-6);
    EXPECT_NEAR(title.frame().maxY(), row.frame().maxY(), 1e-6);
    EXPECT_NEAR(row.frame().height, 40 + (title.frame().maxY() - baseline(t, "Title")), 1e-6);
}

TEST(BaselineLayout, FirstAndLastBaselinesOfAColumnOfTwoLines) {
    auto row = [](VerticalAlignment a) {
        return HStack(
            {VStack({Text("upper").font(Font::caption()), Text("lower").font(Font::caption())}),
             Text("Big").font(Font::title())},
            a);
    };
    ViewTree first(row(VerticalAlignment::firstTextBaseline), small());
    EXPECT_NEAR(baseline(first, "upper", false), baseline(first, "Big", false), 1e-6);
    ViewTree last(row(VerticalAlignment::lastTextBaseline), small());
    EXPECT_NEAR(baseline(last, "lower"), baseline(last, "Big"), 1e-6);
    EXPECT_GT(baseline(last, "lower") - baseline(last, "upper"), 5);
}

TEST(BaselineLayout, BaselineReachesOutOfABadgeInAFramedRow) {
    // A pill (stroke and label in a depth stack, padded and framed) beside a
    // larger text, the row framed and led by its content.
    auto badge = ZStack({RoundedRectangle(4).stroke(Color::white(), 1).frame(40, 18),
                         Text("NM").font(Font::system(11))})
                     .padding(Edges::leading, 12);
    ViewTree t(HStack({badge, Text("RAW").font(Font::title2()), Spacer()},
                      VerticalAlignment::lastTextBaseline, 2)
                   .frame(200, 40, Alignment::leading()),
               small());
    EXPECT_NEAR(baseline(t, "NM"), baseline(t, "RAW"), 1e-6);
    // The label stays centred in its pill: the pill moved with it.
    Rect pill = t.get(Query::kind("Shape")).frame();
    Rect label = t.get(Query::text("NM")).frame();
    EXPECT_NEAR(pill.midY(), label.midY(), 1e-6);
    EXPECT_NEAR(pill.minX(), t.get(Query::kind("HStack")).frame().minX() + 12, 1e-6);
}

} // namespace
} // namespace qv::platform::ui
