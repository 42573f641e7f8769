// State kept by identity, lifecycle handlers, change handlers, environment values and
// objects, observed objects and timers of a ViewGraph.

#include "platform/ui/graph/ViewGraph.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/state/Published.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

struct Counter {
    int start = 7;
    State<int> count{start};
    View body() const {
        return Text("count " + std::to_string(*count)).onTapGesture([c = count] { c.set(*c + 1); });
    }
};

TEST(ViewState, SurvivesFiftyRebuildsAndResetsWhenItsViewLeaves) {
    VirtualDispatch dispatch;
    bool shown = true;
    int start = 7;
    ViewGraph graph([&] {
        return VStack({If(shown, [&] { return View(Counter{start}); }), Text("footer")});
    });
    SyntheticInput input(graph, dispatch);
    graph.update();
    ASSERT_NE(graph.tree().find(Query::text("count 7")), nullptr);

    input.tap(Query::text("count 7"));
    input.tap(Query::text("count 8"));
    ASSERT_NE(graph.tree().find(Query::text("count 9")), nullptr);

    // The initial value counts only when the identity first appears.
    start = 100;
    for (int i = 0; i < 50; ++i) {
        graph.invalidate();
        ASSERT_TRUE(graph.update());
    }
    EXPECT_NE(graph.tree().find(Query::text("count 9")), nullptr);

    shown = false;
    graph.invalidate();
    graph.update();
    EXPECT_EQ(graph.tree().find(Query::kind("Text"))->text(), "footer");
    shown = true;
    graph.invalidate();
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("count 100")), nullptr);
}

TEST(ViewState, EachIdentityHasItsOwnValueAndAWriteSchedulesOneRebuild) {
    VirtualDispatch dispatch;
    ViewGraph graph([] { return VStack({Counter{1}, Counter{20}}); });
    SyntheticInput input(graph, dispatch);
    graph.update();
    input.tap(Query::text("count 20"));
    EXPECT_NE(graph.tree().find(Query::text("count 1")), nullptr);
    EXPECT_NE(graph.tree().find(Query::text("count 21")), nullptr);

    const int before = graph.rebuilds();
    EXPECT_FALSE(graph.needsUpdate());
    EXPECT_FALSE(graph.update());
    EXPECT_EQ(graph.rebuilds(), before);
}

struct Switch {
    Binding<bool> isOn;
    View body() const {
        return Text(isOn.get() ? "switched on" : "switched off").onTapGesture([b = isOn] {
            b.set(!b.get());
        });
    }
};

struct Panel {
    State<bool> flag{false};
    View body() const {
        return VStack({Switch{flag.binding()}, Text(*flag ? "panel on" : "panel off")});
    }
};

TEST(ViewState, ABindingWritesTheOwnersState) {
    VirtualDispatch dispatch;
    ViewGraph graph([] { return Panel{}; });
    SyntheticInput input(graph, dispatch);
    graph.update();
    input.tap(Query::text("switched off"));
    EXPECT_NE(graph.tree().find(Query::text("panel on")), nullptr);
    EXPECT_NE(graph.tree().find(Query::text("switched on")), nullptr);
}

TEST(ViewState, OutsideAGraphAViewShowsItsInitialValue) {
    ViewTree tree(Counter{3});
    EXPECT_NE(tree.find(Query::text("count 3")), nullptr);
}

TEST(Lifecycle, AppearAndDisappearFireOncePerBranchFlip) {
    VirtualDispatch dispatch;
    bool first = true;
    std::vector<std::string> log;
    ViewGraph graph([&] {
        return IfElse(
            first,
            [&] {
                return Text("A").onAppear([&] { log.push_back("appear A"); }).onDisappear([&] {
                    log.push_back("disappear A");
                });
            },
            [&] {
                return Text("B").onAppear([&] { log.push_back("appear B"); }).onDisappear([&] {
                    log.push_back("disappear B");
                });
            });
    });
    graph.update();
    EXPECT_EQ(log, (std::vector<std::string>{"appear A"}));
    for (int i = 0; i < 5; ++i) {
        graph.invalidate();
        graph.update();
    }
    EXPECT_EQ(log.size(), 1u) << "a rebuild of the same branch calls neither";

    first = false;
    graph.invalidate();
    graph.update();
    first = true;
    graph.invalidate();
    graph.update();
    EXPECT_EQ(log, (std::vector<std::string>{"appear A", "disappear A", "appear B", "disappear B",
                                             "appear A"}));
}

TEST(Lifecycle, ChangeHandlersSeeNewValuesOnly) {
    VirtualDispatch dispatch;
    int value = 1;
    std::vector<int> seen;
    ViewGraph graph([&] {
        return Text("x").onChange(
            value, std::function<void(const int&)>([&](const int& v) { seen.push_back(v); }));
    });
    graph.update();
    graph.invalidate();
    graph.update();
    value = 2;
    graph.invalidate();
    graph.update();
    graph.invalidate();
    graph.update();
    value = 5;
    graph.invalidate();
    graph.update();
    EXPECT_EQ(seen, (std::vector<int>{2, 5}));
}

TEST(Lifecycle, HandlersThatWriteStateScheduleTheNextRebuild) {
    VirtualDispatch dispatch;
    struct Loader {
        State<std::string> status{"loading"};
        View body() const {
            return Text(*status).onAppear([s = status] { s.set("ready"); });
        }
    };
    ViewGraph graph([] { return Loader{}; });
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("loading")), nullptr);
    EXPECT_TRUE(graph.needsUpdate());
    graph.settle();
    EXPECT_NE(graph.tree().find(Query::text("ready")), nullptr);
}

class Model final : public ObservableObject {
public:
    Published<int> value{*this, 0};
};

struct ShowsModel {
    EnvironmentObject<Model> model;
    View body() const { return Text("value " + std::to_string(model->value.get())); }
};

TEST(Environment, ObjectsAreFoundByTypeAndTheirChangesRebuild) {
    VirtualDispatch dispatch;
    Model model;
    ViewGraph graph([&] { return VStack({ShowsModel{}}).environmentObject(model); });
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("value 0")), nullptr);
    model.value = 4;
    EXPECT_TRUE(graph.needsUpdate());
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("value 4")), nullptr);
}

TEST(Environment, AMissingObjectIsAnErrorThatNamesTheType) {
    VirtualDispatch dispatch;
    ViewGraph graph([] { return ShowsModel{}; });
    try {
        graph.update();
        FAIL() << "no error";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("Model"), std::string::npos) << e.what();
    }
}

TEST(Environment, ObservedObjectsAreDroppedWithTheViewsThatReadThem) {
    VirtualDispatch dispatch;
    Model model;
    bool reading = true;
    ViewGraph graph([&] {
        return IfElse(
                   reading, [&] { return View(ShowsModel{}); }, [] { return Text("idle"); })
            .environmentObject(model);
    });
    graph.update();
    reading = false;
    graph.invalidate();
    graph.update();
    model.value = 9;
    EXPECT_FALSE(graph.needsUpdate());
}

struct PhaseLabel {
    View body() const {
        return Text(currentEnvironment().scenePhase == ScenePhase::background ? "bg" : "fg");
    }
};

TEST(Environment, ScenePhaseReachesTheViews) {
    VirtualDispatch dispatch;
    ViewGraph graph([] { return PhaseLabel{}; });
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("fg")), nullptr);
    graph.setScenePhase(ScenePhase::background);
    graph.update();
    EXPECT_NE(graph.tree().find(Query::text("bg")), nullptr);
}

TEST(Timers, TickFiveTimesInOneSecondAcrossRebuildsAndStopWhenTheViewLeaves) {
    VirtualDispatch dispatch;
    bool shown = true;
    int ticks = 0;
    ViewGraph graph(
        [&] { return If(shown, [&] { return Text("t").onTimer(0.2, [&] { ++ticks; }); }); });
    graph.update();
    dispatch.runFor(Seconds(0.5));
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(graph.needsUpdate()) << "a tick schedules a rebuild";
    EXPECT_EQ(graph.settle(), 1) << "ticks between two frames make one rebuild";
    dispatch.runFor(Seconds(0.5));
    EXPECT_EQ(ticks, 5);

    shown = false;
    graph.invalidate();
    graph.update();
    dispatch.runFor(Seconds(2));
    EXPECT_EQ(ticks, 5);
}

TEST(Timers, StopWhenTheGraphEnds) {
    VirtualDispatch dispatch;
    int ticks = 0;
    {
        ViewGraph graph([&] { return Text("t").onTimer(0.2, [&] { ++ticks; }); });
        graph.update();
        dispatch.runFor(Seconds(0.3));
    }
    dispatch.runFor(Seconds(1));
    EXPECT_EQ(ticks, 1);
}

TEST(Notices, AMountedViewHearsTheOrientationNoticeWithItsNewestActionUntilItLeaves) {
    VirtualDispatch dispatch;
    Device phone;
    bool shown = true;
    int generation = 0, subscriptions = 0;
    std::vector<std::pair<DeviceOrientation, int>> heard; // the orientation, the build
    ViewGraph graph([&] {
        return If(shown, [&] {
            return Text("camera").onReceive<DeviceOrientation>(
                [&](auto notice) {
                    ++subscriptions;
                    return phone.observeOrientation(notice);
                },
                [&heard, built = generation](DeviceOrientation o) {
                    heard.push_back({o, built});
                });
        });
    });
    graph.update();
    phone.setOrientation(DeviceOrientation::landscapeLeft);
    dispatch.runUntilIdle();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, DeviceOrientation::landscapeLeft);

    ++generation;
    graph.invalidate();
    graph.update();
    phone.setOrientation(DeviceOrientation::faceUp);
    dispatch.runUntilIdle();
    EXPECT_EQ(subscriptions, 1) << "a rebuild keeps the subscription";
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1], std::pair(DeviceOrientation::faceUp, 1)) << "the newest action";

    shown = false;
    graph.invalidate();
    graph.update();
    phone.setOrientation(DeviceOrientation::portrait);
    dispatch.runUntilIdle();
    EXPECT_EQ(heard.size(), 2u) << "not heard once the view has left";
}

TEST(Notices, ANoticeFromAnotherQueueRunsOnTheMainQueueOnlyWhileTheViewIsThere) {
    VirtualDispatch dispatch;
    Signal<int> notice;
    DispatchQueue sender("sender");
    bool shown = true;
    std::vector<int> heard;
    ViewGraph graph([&] {
        return If(shown, [&] {
            return Text("listening")
                .onReceive<int>(
                    [&](auto deliver) {
                        return notice.subscribe([deliver](const int& v) { deliver(v); });
                    },
                    [&](int v) {
                        EXPECT_TRUE(isMainThread());
                        heard.push_back(v);
                    });
        });
    });
    graph.update();
    sender.async([&] { notice.send(7); });
    dispatch.runUntilIdle();
    EXPECT_EQ(heard, std::vector<int>{7});

    // The notice is queued for the main queue, and the view leaves before it runs.
    sender.async([&] { notice.send(8); });
    DispatchQueue::main().async([&] {
        shown = false;
        graph.invalidate();
        graph.update();
    });
    dispatch.runUntilIdle();
    EXPECT_EQ(heard, std::vector<int>{7});
    EXPECT_FALSE(notice.hasSubscribers());
}

} // namespace
} // namespace qv::platform::ui
