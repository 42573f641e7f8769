// The mouse wheel on scroll views: the view under the pointer moves within the bounds a drag
// keeps; steps before a rebuild add up; content that fits, or a disabled view, passes the
// wheel on to the scroll view around it.

#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

// A column of `count` rows of 50 points, each reading `name` and its number.
View rows(const char* name, int count) {
    std::vector<View> column;
    for (int i = 0; i < count; ++i) {
        std::string label = name;
        label.append(std::to_string(i));
        column.push_back(Text(label).frame(100, 50));
    }
    return VStack(std::move(column), HorizontalAlignment::center, 0);
}

struct Scene {
    VirtualDispatch dispatch;
    ViewGraph graph;
    SyntheticInput input{graph, dispatch};
    explicit Scene(std::function<View()> content)
        : graph(std::move(content), testing::squareScene()) {
        graph.settle();
    }
    // The edges of a row's 50-point frame around its text.
    double top(const std::string& text) { return row(text).minY(); }
    double bottom(const std::string& text) { return row(text).maxY(); }
    Rect row(const std::string& text) {
        return graph.tree().get(Query::text(text)).parent()->screenFrame();
    }
    // The middle of the `index`th scroll view in drawing order, as drawn now.
    Point scrollView(std::size_t index) {
        return findAll(graph.tree().root(), Query::kind("ScrollView"))
            .at(index)
            ->screenFrame()
            .center();
    }
};

TEST(ScrollWheel, ScrollsTheViewUnderThePointerWithinTheBoundsOfADrag) {
    // 20 rows (1000 points) in a view of 300 at the top of a 400-point screen.
    Scene s([] {
        return VStack({ScrollView(rows("row ", 20)).frame(std::nullopt, 300), Spacer()},
                      HorizontalAlignment::center, 0);
    });
    s.input.wheel({200, 350}, 200);
    EXPECT_NEAR(s.top("row 0"), 0, 0.5) << "below the scroll view: nothing";

    s.input.wheel({200, 150}, 200);
    EXPECT_NEAR(s.top("row 4"), 4 * 50 - 200, 0.5);

    // A touchpad's small steps before the next rebuild add up.
    for (int step = 0; step < 10; ++step) {
        s.graph.wheel({200, 150}, 5);
    }
    s.graph.settle();
    EXPECT_NEAR(s.top("row 4"), 4 * 50 - 250, 0.5);

    s.input.wheel({200, 150}, 5000);
    EXPECT_NEAR(s.bottom("row 19"), 300, 0.5) << "stops at the end, as a drag";
    s.input.wheel({200, 150}, -5000);
    EXPECT_NEAR(s.top("row 0"), 0, 0.5) << "and at the top";
}

TEST(ScrollWheel, MovesTheInnermostViewThatScrollsAndNoDisabledOne) {
    bool enabled = true;
    Scene s([&] {
        return ScrollView(
            VStack({ScrollView(rows("inner ", 10)).frame(200, 100).disabled(!enabled),
                    ScrollView(rows("short ", 1)).frame(200, 100), rows("outer ", 20)}));
    });
    const double inner = s.top("inner 0");
    const double outer = s.top("outer 0");
    s.input.wheel(s.scrollView(1), 60);
    EXPECT_NEAR(s.top("inner 0"), inner - 60, 0.5);
    EXPECT_NEAR(s.top("outer 0"), outer, 0.5);

    s.input.wheel(s.scrollView(2), 60);
    EXPECT_NEAR(s.top("outer 0"), outer - 60, 0.5) << "content that fits passes the wheel on";

    s.input.wheel(s.scrollView(2), -60);
    EXPECT_NEAR(s.top("outer 0"), outer, 0.5);

    enabled = false;
    s.graph.invalidate();
    s.graph.settle();
    s.input.wheel(s.scrollView(1), 30);
    EXPECT_NEAR(s.top("outer 0"), outer - 30, 0.5) << "a disabled view passes it on";
    EXPECT_NEAR(s.top("inner 0"), inner - 90, 0.5) << "and keeps its place";
}

} // namespace
} // namespace qv::platform::ui
