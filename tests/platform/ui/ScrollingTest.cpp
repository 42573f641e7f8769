// Scroll views, scroll readers, lazy grids and lists.

#include "platform/ui/controls/Scrolling.hpp"

#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>
#include <optional>

namespace qv::platform::ui {
namespace {

struct Cell {
    int index;
    int* built;
    std::vector<int>* tapped;
    View body() const {
        ++*built;
        return Text("Cell " + std::to_string(index))
            .frame(FrameLimits{}.withMaxWidth(kInfinity).withMinHeight(40).withMaxHeight(40))
            .background(Color::gray())
            .onTapGesture([t = tapped, i = index] { t->push_back(i); });
    }
};

struct Grid {
    int columns = 1;
    int count = 280;
    std::string target;
    int* built;
    std::vector<int>* tapped;
    // The scroll view's height at the top of the screen; the whole screen when absent.
    std::optional<double> viewport;
    View body() const {
        std::vector<GridItem> items(static_cast<std::size_t>(columns), GridItem::flexible(10));
        auto b = built;
        auto t = tapped;
        auto id = target;
        const int n = count;
        View scroll = ScrollView(ScrollViewReader([items, b, t, id, n](ScrollViewProxy proxy) {
            return LazyVGrid(items,
                             ForEach(n,
                                     [b, t](int i) {
                                         return View(Cell{i, b, t});
                                     }),
                             10)
                .onAppear([proxy, id] {
                    if (!id.empty()) {
                        proxy.scrollTo(id, UnitPoint::center());
                    }
                });
        }));
        if (!viewport) {
            return scroll;
        }
        return VStack({scroll.frame(std::nullopt, *viewport), Spacer()},
                      HorizontalAlignment::center, 0);
    }
};

struct Harness {
    VirtualDispatch dispatch;
    int built = 0;
    std::vector<int> tapped;
    Grid grid{1, 280, "", &built, &tapped, std::nullopt};
    ViewGraph graph{[this] { return grid; }, testing::squareScene()};
    SyntheticInput input{graph, dispatch};
    // The cell's 40-point frame around its text.
    const Element* cell(int i) {
        const Element* text = graph.tree().find(Query::text("Cell " + std::to_string(i)));
        return text != nullptr ? text->parent() : nullptr;
    }
};

TEST(LazyGrid, BuildsOnlyTheCellsOnScreen) {
    Harness h;
    h.grid.columns = 3;
    h.graph.settle();
    // 400 points show 8 rows of 40 + 10 points: 24 cells, plus the probe of the first row.
    EXPECT_LE(h.built, 30);
    EXPECT_GE(h.built, 24);
    EXPECT_NE(h.cell(23), nullptr);
    EXPECT_EQ(h.cell(30), nullptr);
    // Three flexible columns share 400 points less two spacings of 8.
    EXPECT_NEAR(h.cell(1)->screenFrame().midX(), 200, 0.5);
    const Rect c0 = h.cell(0)->frame();
    EXPECT_NEAR(c0.width, (400 - 16) / 3.0, 1e-6);
}

TEST(LazyGrid, BuildsOnlyTheCellsInsideItsScrollView) {
    Harness h;
    h.grid.columns = 3;
    h.grid.viewport = 100; // two rows of 40 + 10 points show, the screen holds eight
    h.graph.settle();
    EXPECT_LE(h.built, 12);
    EXPECT_NE(h.cell(5), nullptr);
    EXPECT_EQ(h.cell(9), nullptr) << "rows under the scroll view's clip are not built";

    // Scrolled by a drag, the rows that came into the clip are built and the rows that
    // left it are gone.
    h.input.drag({200, 90}, {200, 10});
    EXPECT_EQ(h.cell(0), nullptr);
    EXPECT_NE(h.cell(6), nullptr);
    EXPECT_EQ(h.cell(15), nullptr);
    h.built = 0;
    h.graph.invalidate();
    h.graph.update();
    EXPECT_LE(h.built, 12) << "a rebuild makes only the rows in the clip";
}

TEST(ScrollReader, ScrollToCentresACellOfA280RowGrid) {
    Harness h;
    h.grid.target = "140";
    h.graph.settle();
    const Element* target = h.cell(140);
    ASSERT_NE(target, nullptr);
    EXPECT_NEAR(target->screenFrame().midY(), 200, 0.5);
    EXPECT_EQ(h.cell(0), nullptr);

    // Near the end the offset stops where the content ends.
    h.grid.target = "279";
    h.graph.invalidate();
    h.graph.settle();
    EXPECT_NE(h.cell(140), nullptr) << "a rebuild keeps the scroll offset";
    EXPECT_NEAR(h.cell(140)->screenFrame().midY(), 200, 0.5);
}

// A cell that counts how often its body is built.
struct CountedCell {
    int index;
    int* built;
    View body() const {
        ++*built;
        return Text(std::to_string(index)).padding(5);
    }
};

// A picker laid out like the app's full-screen selector: a grid of three columns in a
// padded scroll view, framed with width and height exchanged and turned a quarter.
struct TurnedPicker {
    int selected;
    int* built;
    View body() const {
        const int sel = selected;
        int* b = built;
        return GeometryReader([sel, b](const GeometryProxy& g) {
            const double w = g.size.width, h = g.size.height;
            View grid =
                ScrollView(ScrollViewReader([sel, b](ScrollViewProxy proxy) {
                    return LazyVGrid(
                               std::vector<GridItem>(3, GridItem::flexible(10)),
                               ForEach(280,
                                       [sel, b, proxy](int i) {
                                           return View(CountedCell{i, b}).onAppear([proxy, sel] {
                                               proxy.scrollTo(sel, UnitPoint::center());
                                           });
                                       }),
                               10)
                        .padding(Edges::vertical, 3);
                }))
                    .padding()
                    .testTag("scroll");
            return VStack({Spacer(), grid, Spacer()})
                .frame(h, w)
                .position(w / 2, h / 2)
                .rotationEffect(kPi / 2);
        });
    }
};

TEST(ScrollReader, ScrollToCentresTheSelectionOfATurnedGridOfThreeColumns) {
    int built = 0;
    // Cell 199 stands in the middle column (199 = 3 x 66 + 1).
    ViewGraph graph([&] { return TurnedPicker{199, &built}; }, testing::squareScene(400));
    graph.settle();
    const Element* cell = graph.tree().find(Query::text("199"));
    ASSERT_NE(cell, nullptr);
    const Point centre = graph.tree().get(Query::tag("scroll")).screenFrame().center();
    EXPECT_NEAR(cell->screenFrame().midY(), centre.y, 0.5) << "turned: across the screen";
    EXPECT_NEAR(cell->screenFrame().midX(), centre.x, 1) << "the middle of the scrolled axis";
    EXPECT_EQ(graph.tree().find(Query::text("0")), nullptr);
    EXPECT_LT(built, 100) << "only the rows in the turned scroll view are built";
}

TEST(ScrollReader, ScrollToTheLastCellStopsAtTheEnd) {
    Harness h;
    h.grid.target = "279";
    h.graph.settle();
    ASSERT_NE(h.cell(279), nullptr);
    EXPECT_NEAR(h.cell(279)->screenFrame().maxY(), 400, 0.5);
    EXPECT_LT(h.built, 30);
}

// A 280-row list whose scroll reader the test keeps, to scroll it from outside.
struct ReaderKeeper {
    std::optional<ScrollViewProxy>* proxy;
    View body() const {
        auto keep = proxy;
        return ScrollView(ScrollViewReader([keep](ScrollViewProxy reader) {
            *keep = reader;
            return LazyVGrid({GridItem::flexible()}, ForEach(280, [](int i) {
                                 return Text(std::to_string(i)).frame(std::nullopt, 40);
                             }));
        }));
    }
};

TEST(ScrollReader, AScrollAskedForInAnAnimationMovesThereOverTheAnimation) {
    VirtualDispatch dispatch;
    std::optional<ScrollViewProxy> proxy;
    ViewGraph graph([&] { return ReaderKeeper{&proxy}; }, testing::squareScene());
    graph.setAnimationsEnabled(true);
    graph.settle();
    ASSERT_TRUE(proxy.has_value());
    // Rows of 40 + 8 points: row 100 starts at 4800, its centre comes to 200 at 4620.
    auto centreOf = [&](int row) {
        const Element* e = graph.tree().find(Query::text(std::to_string(row)));
        return e != nullptr ? std::optional<double>(e->screenFrame().midY()) : std::nullopt;
    };
    withAnimation(Animation::linear(1), [&] { proxy->scrollTo(100, UnitPoint::center()); });
    graph.update();
    EXPECT_NEAR(*centreOf(0), 20, 1e-6) << "the move starts where the content stood";
    EXPECT_TRUE(graph.isAnimating());

    dispatch.runFor(Seconds(0.5));
    graph.update();
    EXPECT_FALSE(centreOf(0).has_value());
    ASSERT_TRUE(centreOf(50).has_value()) << "half way, the rows in between are built";
    EXPECT_NEAR(*centreOf(50), 2420 - 2310, 1);

    dispatch.runFor(Seconds(0.6));
    graph.settle();
    EXPECT_NEAR(*centreOf(100), 200, 1e-6);
    EXPECT_FALSE(graph.isAnimating());

    // Without a transaction the scroll is at once.
    proxy->scrollTo(0, UnitPoint::center());
    graph.update();
    EXPECT_NEAR(*centreOf(0), 20, 1e-6);
}

TEST(ScrollView, ADragScrollsClampedAndATapStillReachesTheCell) {
    Harness h;
    h.grid.count = 20; // 20 rows of 50: 990 points of content
    h.graph.settle();
    h.input.drag({200, 300}, {200, 100});
    ASSERT_NE(h.cell(4), nullptr);
    EXPECT_NEAR(h.cell(4)->screenFrame().minY(), 4 * 50 - 200, 0.5);
    EXPECT_TRUE(h.tapped.empty()) << "a drag that starts on a cell is no tap";

    h.input.drag({200, 350}, {200, 0});
    h.input.drag({200, 350}, {200, 0});
    h.input.drag({200, 350}, {200, 0});
    ASSERT_NE(h.cell(19), nullptr);
    EXPECT_NEAR(h.cell(19)->screenFrame().maxY(), 400, 0.5);

    h.input.tap(h.cell(19)->screenFrame().center());
    EXPECT_EQ(h.tapped, (std::vector<int>{19}));
}

TEST(ScrollView, ShortContentDoesNotScroll) {
    Harness h;
    h.grid.count = 3;
    h.graph.settle();
    const double y = h.cell(0)->screenFrame().minY();
    h.input.drag({200, 50}, {200, 10});
    EXPECT_DOUBLE_EQ(h.cell(0)->screenFrame().minY(), y);
}

TEST(DuplicateKeys, ChildrenSharingAKeyAreReportedOncePerContainer) {
    std::vector<std::string> lines;
    LogSink previous = setLogSink([&](const std::string& l) { lines.push_back(l); });
    VirtualDispatch dispatch;
    // Two lists in one grid both key their views 0, 1, ...; two views of a stack take
    // the same explicit id. The names are appended, not "a" + text: g++ 12 at -O3 warns
    // falsely (-Wrestrict) on that form where this file is built with others.
    ViewGraph graph(
        [] {
            return VStack(
                {ScrollView(LazyVGrid(
                     {GridItem::flexible()},
                     Group({ForEach(2,
                                    [](int i) {
                                        return Text(std::string("a").append(std::to_string(i)));
                                    }),
                            ForEach(3,
                                    [](int i) {
                                        return Text(std::string("b").append(std::to_string(i)));
                                    })}))),
                 Text("x").id("same"), Text("y").id("same"), Text("z").id("other")});
        },
        testing::squareScene());
    for (int i = 0; i < 3; ++i) {
        graph.invalidate();
        graph.update();
    }
    setLogSink(previous);
    ASSERT_EQ(lines.size(), 2u) << "one line per container, however often it is built";
    const auto grid = lines[0].find("LazyVGrid") != std::string::npos ? lines[0] : lines[1];
    const auto stack = lines[0].find("LazyVGrid") != std::string::npos ? lines[1] : lines[0];
    EXPECT_NE(grid.find("\"id=0\" (2 views), \"id=1\" (2 views)"), std::string::npos) << grid;
    EXPECT_EQ(grid.find("id=2"), std::string::npos);
    EXPECT_NE(stack.find("[id=same]"), std::string::npos) << stack;
    EXPECT_EQ(stack.find("other"), std::string::npos);
}

TEST(List, ShowsRowsInOrderOnTheBackground) {
    VirtualDispatch dispatch;
    std::vector<std::string> names{"Total Time", "Save GPS data", "Backup to iCloud"};
    ViewGraph graph(
        [&] {
            return List(ForEach(
                names, [](const std::string& s) { return s; },
                [](const std::string& s) { return Text(s); }));
        },
        testing::squareScene());
    graph.update();
    const auto texts = graph.tree().findAll(Query::kind("Text"));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_LT(texts[0]->frame().maxY(), texts[1]->frame().minY());
    EXPECT_NEAR(texts[0]->frame().minX(), 20, 0.5);
    const RenderedImage image = graph.tree().render();
    const std::uint32_t corner = image.at(image.width - 2, image.height - 2);
    EXPECT_EQ(corner & 0xffffff, 0u) << "the dark scheme's system background is black";
}

} // namespace
} // namespace qv::platform::ui
