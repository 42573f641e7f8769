// Hit testing through transforms and the gestures of views, driven by synthetic input.

#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/HitTest.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

struct Fixture {
    VirtualDispatch dispatch;
    std::vector<std::string> log;
    std::function<View()> content;
    ViewGraph graph{[this] { return content(); }, testing::squareScene()};
    SyntheticInput input{graph, dispatch};
    std::function<void()> record(std::string what) {
        return [this, what] { log.push_back(what); };
    }
};

TEST(Gestures, TapDoubleTapAndDragEndOnOneViewAreToldApart) {
    Fixture f;
    f.content = [&f] {
        return Rectangle()
            .fill(Color::gray())
            .frame(200, 200)
            .onTapGesture(2, f.record("double"))
            .gesture(DragGesture(0, CoordinateSpace::local)
                         .onChanged([&f](const DragValue&) { f.log.push_back("changed"); })
                         .onEnded([&f](const DragValue& v) {
                             f.log.push_back(std::abs(v.translation.width) <= 1 &&
                                                     std::abs(v.translation.height) <= 1
                                                 ? "tap end"
                                                 : "drag end");
                         }));
    };
    f.input.tap({200, 200});
    EXPECT_EQ(f.log, (std::vector<std::string>{"changed", "tap end"}));

    f.log.clear();
    f.input.doubleTap({200, 200});
    EXPECT_EQ(f.log, (std::vector<std::string>{"double"}));

    f.log.clear();
    f.input.drag({150, 200}, {250, 200});
    ASSERT_GE(f.log.size(), 2u);
    EXPECT_EQ(f.log.back(), "drag end");
    EXPECT_EQ(f.log.front(), "changed");
}

TEST(Gestures, ALongPressCancelsTheTap) {
    Fixture f;
    f.content = [&f] {
        return Circle()
            .frame(100, 100)
            .onTapGesture(f.record("tap"))
            .onLongPressGesture(0.5, 10, f.record("long"));
    };
    f.input.longPress({200, 200}, 0.7);
    EXPECT_EQ(f.log, (std::vector<std::string>{"long"}));
    f.log.clear();
    f.input.tap({200, 200});
    EXPECT_EQ(f.log, (std::vector<std::string>{"tap"}));
}

TEST(Gestures, ALongPressOnASelectableTextCopiesAllOfIt) {
    Fixture f;
    bool disabled = false;
    f.content = [&] {
        return VStack({Text("@quarnvesil").textSelection(true).onTapGesture(f.record("tap")),
                       Text("plain text"),
                       Text("#ShotWithQuarnVesil").textSelection(true).disabled(disabled)});
    };
    Clipboard::setText("before");
    f.input.tap(Query::text("@quarnvesil"));
    EXPECT_EQ(Clipboard::text(), "before") << "a tap copies nothing";
    EXPECT_EQ(f.log, (std::vector<std::string>{"tap"})) << "and still reaches the text's tap";

    f.input.longPress(f.input.centerOf(Query::text("@quarnvesil")));
    EXPECT_EQ(Clipboard::text(), "@quarnvesil");
    f.input.longPress(f.input.centerOf(Query::text("plain text")));
    EXPECT_EQ(Clipboard::text(), "@quarnvesil") << "texts are not selectable by default";

    disabled = true;
    f.graph.invalidate();
    f.input.longPress(f.input.centerOf(Query::text("#ShotWithQuarnVesil")));
    EXPECT_EQ(Clipboard::text(), "@quarnvesil") << "nor in a disabled subtree";
    disabled = false;
    f.graph.invalidate();
    f.input.longPress(f.input.centerOf(Query::text("#ShotWithQuarnVesil")));
    EXPECT_EQ(Clipboard::text(), "#ShotWithQuarnVesil");
}

TEST(Gestures, AChildsTapWinsOverItsParentsDragOfMinimumDistanceZero) {
    Fixture f;
    Point translation{};
    f.content = [&] {
        return ZStack({Color::gray(), Rectangle()
                                          .fill(Color::red())
                                          .frame(50, 50)
                                          .onTapGesture(f.record("child tap"))})
            .frame(300, 300)
            .gesture(DragGesture(0, CoordinateSpace::global).onEnded([&](const DragValue& v) {
                f.log.push_back("parent drag end");
                translation = {v.translation.width, v.translation.height};
            }));
    };
    f.input.tap({200, 200});
    EXPECT_EQ(f.log, (std::vector<std::string>{"child tap"}));

    // A drag that starts on the child goes to the parent once the tap fails, measured
    // from where the press went down.
    f.log.clear();
    f.input.drag({200, 200}, {200, 300});
    EXPECT_EQ(f.log, (std::vector<std::string>{"parent drag end"}));
    EXPECT_DOUBLE_EQ(translation.y, 100);

    f.log.clear();
    f.input.tap({100, 100});
    EXPECT_EQ(f.log, (std::vector<std::string>{"parent drag end"}));
}

TEST(HitTesting, ATapOnAGridTurnedAQuarterReachesTheCellUnderTheFinger) {
    Fixture f;
    f.content = [&f] {
        auto cell = [&f](int i) {
            return Rectangle()
                .fill(Color::gray())
                .frame(100, 100)
                .onTapGesture(f.record("cell " + std::to_string(i)));
        };
        return VStack({HStack({cell(0), cell(1)}, VerticalAlignment::center, 0),
                       HStack({cell(2), cell(3)}, VerticalAlignment::center, 0)},
                      HorizontalAlignment::center, 0)
            .rotationEffect(kPi / 2);
    };
    // Turned clockwise about the centre (200, 200): cell 0 (top left) is now top right,
    // cell 2 (bottom left) top left.
    f.input.tap({250, 150});
    f.input.tap({150, 150});
    f.input.tap({150, 250});
    EXPECT_EQ(f.log, (std::vector<std::string>{"cell 0", "cell 2", "cell 3"}));
}

TEST(HitTesting, DrawnContentIsHitAndEmptySpaceOnlyThroughAContentShape) {
    Fixture f;
    f.content = [&f] {
        return VStack(
                   {
                       View(Color::black().opacity(0.01))
                           .frame(100, 40)
                           .onTapGesture(f.record("faint")),
                       View(Color::clear()).frame(100, 40).onTapGesture(f.record("clear")),
                       HStack({Spacer()}).frame(100, 40).onTapGesture(f.record("spacer")),
                       HStack({Spacer()})
                           .frame(100, 40)
                           .contentShape(Rectangle())
                           .onTapGesture(f.record("shaped")),
                       Circle().frame(40, 40).onTapGesture(f.record("circle")),
                   },
                   HorizontalAlignment::center, 0)
            .frame(100, 200, Alignment::top());
    };
    f.graph.update();
    // Rows 40 points high from y = 100.
    f.input.tap({200, 120});
    f.input.tap({200, 160});
    f.input.tap({200, 200});
    f.input.tap({200, 240});
    f.input.tap({200, 280});
    f.input.tap({183, 263}); // the circle's bounding box, outside the circle
    EXPECT_EQ(f.log, (std::vector<std::string>{"faint", "shaped", "circle"}));
}

TEST(HitTesting, DisabledHiddenAndClippedViewsTakeNoInput) {
    Fixture f;
    f.content = [&f] {
        return VStack(
                   {
                       Rectangle().frame(100, 40).onTapGesture(f.record("disabled")).disabled(true),
                       Rectangle().frame(100, 40).onTapGesture(f.record("hidden")).opacity(0),
                       Rectangle()
                           .frame(100, 40)
                           .onTapGesture(f.record("untestable"))
                           .allowsHitTesting(false),
                       Rectangle()
                           .frame(300, 40)
                           .onTapGesture(f.record("clipped"))
                           .frame(100, 40)
                           .clipped(),
                   },
                   HorizontalAlignment::center, 0)
            .frame(300, 160, Alignment::top())
            .contentShape(Rectangle())
            .onTapGesture(f.record("column"));
    };
    f.input.tap({200, 140});
    f.input.tap({200, 180});
    f.input.tap({200, 220});
    f.input.tap({200, 260});
    f.input.tap({280, 260});
    EXPECT_EQ(f.log, (std::vector<std::string>{"column", "column", "column", "clipped", "column"}));
}

TEST(HitTesting, TheTopmostViewTakesThePress) {
    VirtualDispatch dispatch;
    ViewTree tree(
        ZStack({Rectangle().frame(100, 100).testTag("under"), Text("over").testTag("over")}),
        testing::squareScene());
    auto path = hitPath(tree, {200, 200});
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front()->text(), "over");
    path = hitPath(tree, {160, 160});
    ASSERT_GE(path.size(), 2u);
    EXPECT_EQ(path[1]->tag(), "under"); // the shape's frame
    EXPECT_TRUE(hitPath(tree, {20, 20}).empty());
}

TEST(Gestures, LocalDragLocationsAreInTheViewsOwnSpace) {
    Fixture f;
    DragValue last;
    f.content = [&] {
        return Rectangle()
            .frame(100, 100)
            .gesture(DragGesture(0, CoordinateSpace::local).onEnded([&](const DragValue& v) {
                last = v;
            }))
            .scaleEffect(2);
    };
    // The 100-point square drawn at twice its size about the centre (200, 200).
    f.input.drag({200, 200}, {300, 200});
    EXPECT_NEAR(last.startLocation.x, 50, 1e-9);
    EXPECT_NEAR(last.location.x, 100, 1e-9);
    EXPECT_NEAR(last.translation.width, 50, 1e-9);
}

} // namespace
} // namespace qv::platform::ui
