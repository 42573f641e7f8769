#include "components/SelectorGrid.hpp"

#include "ComponentTesting.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/formatting/NumberLocale.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;
using testing::Bound;

struct Options {
    int items = 20;
    int columns = 3;
    bool autoDismiss = true;
    double rotation = 0;
    bool center = true;
    std::string title{};
};

// A selector grid on the phone's screen over items "0", "1", ..., its two bindings held
// by the test.
struct GridScreen {
    explicit GridScreen(int selection, Options o = {}) : options(std::move(o)) {
        selected.value = selection;
        graph.settle();
    }
    Options options;
    Bound<int> selected{0};
    Bound<bool> showing{true};
    VirtualDispatch dispatch;
    ViewGraph graph{[this] { return view(); }, testing::phone()};
    SyntheticInput input{graph, dispatch};

    View view() {
        std::vector<GridSelectableItem> items;
        for (int i = 0; i < options.items; ++i) {
            items.emplace_back(std::to_string(i));
        }
        return SelectorGrid(options.title, showing.binding(), selected.binding(), items,
                            options.columns, options.autoDismiss, options.rotation, options.center);
    }
    const Element* item(int i) {
        return graph.tree().find(Query::tag("selector item " + std::to_string(i)));
    }
    int blanks() {
        int n = 0;
        while (graph.tree().find(Query::tag("selector blank " + std::to_string(n + 1))) !=
               nullptr) {
            ++n;
        }
        return n;
    }
    // The column (from 0) and row of a cell of the unturned grid.
    std::pair<int, int> place(const Element& cell) {
        const Rect grid = graph.tree().get(Query::kind("LazyVGrid")).frame();
        const int n = std::max(1, options.columns);
        const double width = (grid.width - 8 * (n - 1)) / n;
        const double pitch = cell.frame().height + 10;
        return {static_cast<int>(std::floor((cell.frame().midX() - grid.minX()) / (width + 8))),
                static_cast<int>(std::lround((cell.frame().minY() - grid.minY()) / pitch))};
    }
};

TEST(SelectorGrid, BlankCellsPutTheSelectionInTheMiddleColumn) {
    struct Case {
        int columns, selection, blanks, column, row;
    };
    for (const Case c : {Case{3, 0, 1, 1, 0}, Case{3, 2, 2, 1, 1}, Case{3, 4, 0, 1, 1},
                         Case{4, 0, 1, 1, 0}, Case{4, 6, 3, 1, 2}, Case{1, 5, 0, 0, 5}}) {
        SCOPED_TRACE("columns " + std::to_string(c.columns) + ", selection " +
                     std::to_string(c.selection));
        GridScreen s(c.selection, {.columns = c.columns});
        EXPECT_EQ(s.blanks(), c.blanks);
        const Element* selected = s.item(c.selection);
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(s.place(*selected), std::make_pair(c.column, c.row));
        if (c.blanks > 0) {
            EXPECT_EQ(s.place(s.graph.tree().get(Query::tag("selector blank 1"))),
                      std::make_pair(0, 0));
        }
    }
}

TEST(SelectorGrid, BlankCellsFollowTheFormulaWhereNoItemIsSelected) {
    GridScreen none(-1, {.columns = 3});
    EXPECT_EQ(none.blanks(), 2);
    EXPECT_EQ(none.place(*none.item(0)), std::make_pair(2, 0));
    for (const auto* shape : none.graph.tree().findAll(Query::kind("Shape"))) {
        EXPECT_NE(shape->shapeInfo()->color, (Color::Rgba{1, 1, 1, 1})) << "no cell is highlighted";
    }

    GridScreen empty(0, {.items = 0, .columns = 3});
    EXPECT_EQ(empty.blanks(), 1);
    EXPECT_EQ(empty.item(0), nullptr);

    GridScreen uncentred(5, {.columns = 3, .center = false});
    EXPECT_EQ(uncentred.blanks(), 0);
    EXPECT_EQ(uncentred.place(*uncentred.item(5)), std::make_pair(2, 1));

    GridScreen noColumns(1, {.columns = 0});
    EXPECT_EQ(noColumns.blanks(), 0) << "no columns count as one";
    EXPECT_EQ(noColumns.place(*noColumns.item(1)), std::make_pair(0, 1));
}

TEST(SelectorGrid, ScrollsTheSelectedItemOfALongListToTheMiddleAndNeverABlank) {
    std::vector<std::string> lines;
    LogSink previous = setLogSink([&](const std::string& l) { lines.push_back(l); });
    GridScreen s(200, {.items = 280, .columns = 3});
    setLogSink(previous);
    EXPECT_TRUE(lines.empty()) << "blank cells and items never share a key: " << lines.front();
    const Element* selected = s.item(200);
    ASSERT_NE(selected, nullptr);
    const Rect scroll = s.graph.tree().get(Query::kind("ScrollView")).screenFrame();
    EXPECT_NEAR(selected->screenFrame().midY(), scroll.midY(), 0.5);
    EXPECT_NEAR(selected->screenFrame().midX(), scroll.midX(), 0.5);
    EXPECT_EQ(s.item(0), nullptr) << "only the rows on screen are built";

    // A new selection scrolls again, once.
    s.selected.value = 20;
    s.graph.invalidate();
    s.graph.settle();
    ASSERT_NE(s.item(20), nullptr);
    EXPECT_NEAR(s.item(20)->screenFrame().midY(), scroll.midY(), 0.5);
}

TEST(SelectorGrid, AManualScrollStaysWhereItWasLeftWhileRowsComeIn) {
    GridScreen s(0, {.items = 280, .columns = 3});
    ASSERT_NE(s.item(12), nullptr);
    ASSERT_EQ(s.item(21), nullptr);
    const double before = s.item(12)->screenFrame().minY();
    const Point centre = s.graph.tree().get(Query::kind("ScrollView")).screenFrame().center();
    s.input.drag({centre.x, centre.y + 75}, {centre.x, centre.y - 75});
    ASSERT_NE(s.item(12), nullptr);
    const double after = s.item(12)->screenFrame().minY();
    EXPECT_NEAR(after, before - 150, 0.5);
    EXPECT_NE(s.item(21), nullptr) << "rows came into view";
    EXPECT_EQ(s.item(0), nullptr) << "and the first rows left it";
    for (int i = 0; i < 3; ++i) {
        s.graph.invalidate();
        s.graph.settle();
    }
    EXPECT_NEAR(s.item(12)->screenFrame().minY(), after, 1e-9);
    EXPECT_EQ(s.selected.value, 0);
}

TEST(SelectorGrid, ATapWritesTheIndexAndClosesWithAutoDismiss) {
    GridScreen closing(0);
    closing.input.tap(Query::tag("selector item 7"));
    EXPECT_EQ(closing.selected.value, 7);
    EXPECT_FALSE(closing.showing.value);
    EXPECT_EQ(closing.selected.animatedWrites, std::vector<bool>{true});
    EXPECT_EQ(closing.showing.animatedWrites, std::vector<bool>{true});

    // Without it the grid stays, and the new selection moves to the middle column.
    GridScreen staying(0, {.autoDismiss = false});
    staying.input.tap(Query::tag("selector item 4"));
    EXPECT_EQ(staying.selected.value, 4);
    EXPECT_TRUE(staying.showing.value);
    EXPECT_EQ(staying.blanks(), 0);
    EXPECT_EQ(staying.place(*staying.item(4)).first, 1);
    staying.input.tap(Query::tag("selector item 4"));
    EXPECT_EQ(staying.selected.animatedWrites, (std::vector<bool>{true, true}))
        << "the selected item written again";
}

TEST(SelectorGrid, TheHeaderShowsTheTitleAndACloseSymbolUnlessAChoiceCloses) {
    GridScreen bare(0, {.autoDismiss = true});
    EXPECT_EQ(bare.graph.tree().find(Query::symbol("x.circle")), nullptr);

    GridScreen closeOnly(0, {.autoDismiss = false});
    const Element& close = closeOnly.graph.tree().get(Query::symbol("x.circle"));
    const Element* row = close.parent();
    while (row->kind() != "HStack") {
        row = row->parent();
    }
    EXPECT_TRUE(findAll(*row, Query::kind("Text")).empty()) << "no title";
    EXPECT_NEAR(close.screenFrame().maxX(), 390 - 32, 1) << "at the trailing end";

    GridScreen titled(0, {.title = "Select ISO"});
    const Element& title = titled.graph.tree().get(Query::text("Select ISO"));
    EXPECT_EQ(title.environment().font, Font::title());
    titled.input.tap(Query::symbol("x.circle"));
    EXPECT_FALSE(titled.showing.value);
    EXPECT_EQ(titled.showing.animatedWrites, std::vector<bool>{true});
    EXPECT_EQ(titled.selected.value, 0);
}

TEST(SelectorGrid, AQuarterTurnExchangesTheFramesSidesAHalfTurnDoesNot) {
    const Size safeArea{390, 844 - 47 - 34};
    for (double turn : {kPi / 2, -kPi / 2, 3 * kPi / 2, -3 * kPi / 2, kPi, kPi / 4}) {
        SCOPED_TRACE(turn);
        GridScreen s(0, {.rotation = turn});
        const Element& frame = s.graph.tree().get(Query::tag("selector"));
        const bool quarter = std::abs(std::fmod(std::abs(turn), kPi) - kPi / 2) < 1e-9;
        EXPECT_EQ(frame.frame().size(),
                  (quarter ? Size{safeArea.height, safeArea.width} : safeArea));
        EXPECT_NEAR(frame.screenFrame().midX(), 195, 1e-6) << "turned about its centre";
        EXPECT_NEAR(frame.screenFrame().midY(), 47 + safeArea.height / 2, 1e-6);
    }
}

TEST(SelectorGrid, TheSelectedCellIsFilledWhiteOutlinedInThePrimaryStyleAndCastsAShadow) {
    GridScreen s(4);
    auto look = [&](int i) {
        const Element& box = *s.item(i);
        const auto shapes = findAll(box, Query::kind("Shape"));
        const auto shadow = findAll(box, Query::kind("shadow"));
        EXPECT_EQ(shapes.size(), 2u);
        EXPECT_EQ(shadow.size(), 1u);
        return std::make_tuple(*shapes[0]->shapeInfo(), *shapes[1]->shapeInfo(),
                               *shadow[0]->shadowInfo());
    };
    const auto [fill, outline, shadow] = look(4);
    EXPECT_TRUE(fill.filled());
    EXPECT_EQ(fill.color, (Color::Rgba{1, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(fill.opacity, 0.4);
    EXPECT_EQ(outline.lineWidth(), 1);
    EXPECT_EQ(outline.color, (Color::Rgba{1, 1, 1, 1}));
    EXPECT_EQ(shadow.radius, 3);
    EXPECT_EQ(shadow.color, (Color::Rgba{0, 0, 0, 0.33}));

    const auto [plainFill, plainOutline, plainShadow] = look(5);
    EXPECT_EQ(plainFill.color, (Color::Rgba{0, 0, 0, 0.01})) << "still takes a tap";
    EXPECT_DOUBLE_EQ(plainFill.opacity, 0.4);
    EXPECT_EQ(plainOutline.color, (Color::Rgba{1, 1, 1, 0.6})) << "the secondary style";
    EXPECT_EQ(plainShadow.radius, 0);
}

TEST(GridSelectableItem, NumbersReadInTheCurrentLocale) {
    const auto saved = platform::NumberLocale::current();
    platform::NumberLocale::setCurrent(platform::NumberLocale::english());
    EXPECT_EQ(GridSelectableItem(12800).displayString(), "12,800");
    EXPECT_EQ(GridSelectableItem(0.125).displayString(), "0.125");
    EXPECT_EQ(GridSelectableItem(1.0 / 3).displayString(), "0.333333");
    EXPECT_EQ(GridSelectableItem("1/125").displayString(), "1/125");
    platform::NumberLocale::setCurrent(platform::NumberLocale::named("de_DE"));
    EXPECT_EQ(GridSelectableItem::list(std::vector<int>{100, 10000})[1].displayString(), "10.000");
    platform::NumberLocale::setCurrent(saved);
}

} // namespace
} // namespace qv
