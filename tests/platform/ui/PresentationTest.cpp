// Full-screen covers, transitions and animations, and the controls.

#include "TestScenes.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

SceneOptions phone() {
    SceneOptions o;
    o.size = {390, 844};
    o.safeAreaInsets = {47, 0, 34, 0};
    return o;
}

// A scene drawn at one pixel per point over black, for reading pixels.
SceneOptions darkScene(double width, double height) {
    SceneOptions o = testing::scene(width, height, 1);
    o.background = Color::black();
    return o;
}

// Makes `change` in an animated transaction, as a handler would, and updates the graph.
template <typename F>
void animate(ViewGraph& graph, Animation animation, F change) {
    withAnimation(animation, [&] {
        change();
        graph.invalidate();
    });
    graph.update();
}

struct CloseButton {
    View body() const {
        const auto dismiss = currentEnvironment().dismiss;
        return Image::system("xmark.circle").onTapGesture([dismiss] { dismiss(); });
    }
};

struct Screen {
    int* underTaps;
    State<bool> isPresented{false};
    View body() const {
        return ZStack({View(Color::gray()).onTapGesture([t = underTaps] { ++*t; }),
                       Text("Open").onTapGesture(
                           [p = isPresented] { withAnimation([&] { p.set(true); }); })})
            .fullScreenCover(isPresented.binding(), [] {
                return VStack({Text("Cover"), CloseButton{}});
            });
    }
};

TEST(FullScreenCover, AppearsOverEverythingAndDismissesThroughItsBinding) {
    VirtualDispatch dispatch;
    auto underTaps = std::make_shared<int>(0);
    ViewGraph graph([&] { return Screen{underTaps.get()}; }, phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    EXPECT_EQ(graph.tree().find(Query::text("Cover")), nullptr);
    input.tap({20, 300});
    EXPECT_EQ(*underTaps, 1);
    *underTaps = 0;

    input.tap(Query::text("Open"));
    ASSERT_NE(graph.tree().find(Query::text("Cover")), nullptr);
    // The cover is opaque and on top: a tap where "Open" stood does not reach it.
    const auto& root = graph.tree().root();
    const Element& cover = *root.children().back();
    EXPECT_EQ(cover.visualBounds().height, 844);
    input.tap({20, 300});
    EXPECT_EQ(*underTaps, 0);

    input.tap(Query::symbol("xmark.circle"));
    EXPECT_EQ(graph.tree().find(Query::text("Cover")), nullptr);
    EXPECT_NE(graph.tree().find(Query::text("Open")), nullptr);
}

// A screen under a cover, and an alert the screen presents while the cover shows.
struct AlertScreen {
    std::vector<std::string>* log;
    bool* alert;
    View body() const {
        auto l = log;
        bool* shown = alert;
        return Text("Screen")
            .fullScreenCover(
                Binding<bool>([] { return true; }, [](bool) {}),
                [l] {
                    return View(Color::gray()).onTapGesture([l] { l->push_back("cover tapped"); });
                })
            .alert("No Mail Program",
                   Binding<bool>([shown] { return *shown; }, [shown](bool v) { *shown = v; }),
                   "No mail program is set up on this computer.",
                   {{"OK", ButtonRole::cancel, [l] { l->push_back("OK"); }},
                    {"Delete", ButtonRole::destructive, [l] { l->push_back("Delete"); }}});
    }
};

TEST(Alert, LiesAboveCoversTakesEveryPressAndAButtonClearsItsBinding) {
    VirtualDispatch dispatch;
    std::vector<std::string> log;
    bool alert = false;
    ViewGraph graph([&] { return AlertScreen{&log, &alert}; }, phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    EXPECT_EQ(graph.tree().find(Query::tag("alert")), nullptr);

    alert = true;
    graph.invalidate();
    graph.update();
    const Element& box = graph.tree().get(Query::tag("alert"));
    EXPECT_NEAR(box.screenFrame().width, 270, 1e-9);
    EXPECT_NEAR(box.screenFrame().midX(), 195, 1e-9);
    const Point delete_ = input.centerOf(Query::text("Delete"));
    EXPECT_GT(delete_.x, input.centerOf(Query::text("OK")).x) << "two buttons side by side";
    // The dimmed screen takes the press: the cover under it sees nothing.
    input.tap({20, 300});
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(alert);

    input.tap(delete_);
    EXPECT_EQ(log, (std::vector<std::string>{"Delete"}));
    EXPECT_FALSE(alert);
    graph.invalidate();
    graph.update();
    EXPECT_EQ(graph.tree().find(Query::tag("alert")), nullptr);
    input.tap({20, 300});
    EXPECT_EQ(log.back(), "cover tapped");
}

TEST(SystemLayer, LiesAboveTheAppsCoversAndAlertsAndTakesTheirPresses) {
    VirtualDispatch dispatch;
    std::vector<std::string> log;
    bool alert = true;
    bool prompt = true;
    ViewGraph graph(
        [&] {
            return View(AlertScreen{&log, &alert}).systemLayer([&] {
                return If(prompt, [&] {
                    return View(Color::black().opacity(0.45))
                        .ignoresSafeArea()
                        .onTapGesture([&] { log.push_back("prompt tapped"); })
                        .testTag("prompt");
                });
            });
        },
        phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    const auto layers = graph.tree().root().drawingOrder();
    ASSERT_FALSE(layers.empty());
    EXPECT_EQ(findAll(*layers.back(), Query::tag("prompt")).size(), 1u) << "drawn last";
    input.tap(input.centerOf(Query::text("Delete")));
    EXPECT_EQ(log, (std::vector<std::string>{"prompt tapped"}));
    EXPECT_TRUE(alert);

    prompt = false;
    graph.invalidate();
    input.tap(input.centerOf(Query::text("Delete")));
    EXPECT_EQ(log.back(), "Delete") << "an empty layer takes nothing";
}

TEST(Animation, ATransitionScalesFromAHundredthOverTheAnimationInTheWindow) {
    VirtualDispatch dispatch;
    bool shown = false;
    ViewGraph graph(
        [&] {
            return If(shown, [] {
                return Circle()
                    .frame(100, 100)
                    .transition(Transition::scaleFrom(0.01))
                    .testTag("dot");
            });
        },
        phone());
    graph.setAnimationsEnabled(true);
    graph.update();
    animate(graph, Animation::easeOut(0.3), [&] { shown = true; });
    auto width = [&] { return graph.tree().get(Query::tag("dot")).screenFrame().width; };
    EXPECT_NEAR(width(), 1, 1e-6);
    EXPECT_TRUE(graph.isAnimating());
    const Point centre = graph.tree().get(Query::tag("dot")).screenFrame().center();
    EXPECT_NEAR(centre.x, 195, 1e-6);

    dispatch.runFor(Seconds(0.15));
    EXPECT_TRUE(graph.needsUpdate());
    graph.update();
    EXPECT_GT(width(), 60) << "ease-out covers more than half the way in half the time";
    EXPECT_LT(width(), 100);
    dispatch.runFor(Seconds(0.2));
    graph.update();
    EXPECT_NEAR(width(), 100, 1e-9);
    EXPECT_FALSE(graph.isAnimating());
    EXPECT_FALSE(graph.needsUpdate());
}

TEST(Animation, AViewThatLeavesShrinksAwayOverTheCurrentTree) {
    VirtualDispatch dispatch;
    bool shown = true;
    ViewGraph graph(
        [&] {
            return If(shown, [] {
                return Circle()
                    .fill(Color::white())
                    .frame(100, 100)
                    .transition(Transition::scaleFrom(0.01));
            });
        },
        darkScene(200, 200));
    graph.setAnimationsEnabled(true);
    graph.update();
    animate(graph, Animation::easeOut(0.3), [&] { shown = false; });
    EXPECT_EQ(graph.tree().find(Query::kind("Shape")), nullptr) << "gone from the tree at once";
    EXPECT_TRUE(graph.isAnimating());
    std::vector<std::uint32_t> pixels(200 * 200);
    auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * 200 + x)] & 0xff; };
    dispatch.runFor(Seconds(0.15));
    graph.update();
    graph.renderInto(pixels.data(), 200, 200, 800);
    EXPECT_GT(at(100, 100), 0xc0u) << "still drawn, smaller";
    EXPECT_LT(at(100, 140), 0x10u);
    dispatch.runFor(Seconds(0.2));
    graph.update();
    EXPECT_FALSE(graph.isAnimating());
    graph.renderInto(pixels.data(), 200, 200, 800);
    EXPECT_LT(at(100, 100), 0x10u);
}

TEST(Animation, ValuesChangeAtOnceInTestsAndWithoutATransaction) {
    VirtualDispatch dispatch;
    double alpha = 1;
    ViewGraph graph([&] { return Rectangle().opacity(alpha).rotationEffect(alpha); }, phone());
    graph.update();
    withAnimation([&] {
        alpha = 0.5;
        graph.invalidate();
    });
    graph.update();
    EXPECT_FALSE(graph.isAnimating()) << "a test's graph applies animations at once";

    graph.setAnimationsEnabled(true);
    alpha = 0.25;
    graph.invalidate();
    graph.update();
    EXPECT_FALSE(graph.isAnimating()) << "a change without an animation is not animated";
    animate(graph, Animation::linear(1), [&] { alpha = 1; });
    dispatch.runFor(Seconds(0.5));
    graph.update();
    const Transform t = graph.tree().get(Query::kind("Shape")).toScreen();
    EXPECT_NEAR(std::atan2(t.b, t.a), 0.625, 1e-6) << "halfway from 0.25 to 1";
}

TEST(Animation, TheTrimOfAShapeMovesOverTheAnimation) {
    VirtualDispatch dispatch;
    double to = 1;
    ViewGraph graph(
        [&] {
            return PathShape([](const Rect& r) {
                       Path p;
                       p.moveTo({r.minX(), r.midY()});
                       p.lineTo({r.maxX(), r.midY()});
                       return p;
                   })
                .trim(0, to)
                .stroke(Color::white(), 4);
        },
        darkScene(100, 20));
    graph.setAnimationsEnabled(true);
    graph.update();
    animate(graph, Animation::linear(1), [&] { to = 0; });
    dispatch.runFor(Seconds(0.5));
    graph.update();
    RenderedImage half = graph.tree().render();
    EXPECT_GT(half.at(25, 10) & 0xff, 0x80u) << "half the line is still drawn";
    EXPECT_LT(half.at(75, 10) & 0xff, 0x10u);
    dispatch.runFor(Seconds(0.6));
    graph.update();
    EXPECT_LT(graph.tree().render().at(25, 10) & 0xff, 0x10u);
}

enum class Format { raw, jpeg, tiff };

TEST(Picker, SelectsTheSegmentOfTheBoundValueAndWritesTheTappedOne) {
    VirtualDispatch dispatch;
    auto format = Binding<Format>::constant(Format::jpeg);
    ViewGraph graph(
        [&] {
            return Picker("File Format", format,
                          {{Format::raw, "RAW"}, {Format::jpeg, "JPEG"}, {Format::tiff, "TIFF"}})
                .frame(200, 50);
        },
        phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    auto weight = [&](const char* label) {
        return graph.tree().get(Query::text(label)).environment().font.weight;
    };
    EXPECT_EQ(weight("JPEG"), FontWeight::semibold);
    EXPECT_EQ(weight("RAW"), FontWeight::regular);
    input.tap(Query::text("TIFF"));
    EXPECT_EQ(format.get(), Format::tiff);
    graph.invalidate();
    graph.update();
    EXPECT_EQ(weight("TIFF"), FontWeight::semibold);

    // A value no segment has selects none.
    ViewTree none(Picker("File Format", Binding<Format>::constant(Format::raw),
                         {{Format::jpeg, "JPEG"}, {Format::tiff, "TIFF"}}));
    EXPECT_EQ(none.get(Query::text("JPEG")).environment().font.weight, FontWeight::regular);
    EXPECT_EQ(none.get(Query::text("TIFF")).environment().font.weight, FontWeight::regular);
}

struct Checkmark {
    View makeBody(const ToggleConfiguration& c) const {
        const bool enabled = currentEnvironment().isEnabled;
        return Button(HStack({c.label, Image::system(c.isOn.get() ? "checkmark.circle" : "circle")},
                             VerticalAlignment::center, 20),
                      [isOn = c.isOn] { withAnimation([&] { isOn.set(!isOn.get()); }); })
            .buttonStyle(ButtonStyle::plain)
            .disabled(!enabled);
    }
};

TEST(Toggle, ACustomStyleDrawsAndFlipsTheValueUnlessDisabled) {
    VirtualDispatch dispatch;
    auto isOn = Binding<bool>::constant(false);
    bool disabled = false;
    ViewGraph graph(
        [&] { return Toggle(isOn, Text("Preview")).toggleStyle(Checkmark{}).disabled(disabled); },
        phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    input.tap(Query::symbol("circle"));
    EXPECT_TRUE(isOn.get());
    ASSERT_NE(graph.tree().find(Query::symbol("checkmark.circle")), nullptr);
    const Element& label = graph.tree().get(Query::text("Preview"));
    const Element& mark = graph.tree().get(Query::symbol("checkmark.circle"));
    EXPECT_NEAR(mark.frame().minX() - label.frame().maxX(), 20, 1e-9);

    disabled = true;
    graph.invalidate();
    graph.update();
    input.tap(Query::symbol("checkmark.circle"));
    EXPECT_TRUE(isOn.get());
}

TEST(Toggle, TheDefaultSwitchFlipsOnATapOfItsRow) {
    VirtualDispatch dispatch;
    auto isOn = Binding<bool>::constant(false);
    ViewGraph graph([&] { return Toggle("Save GPS data", isOn).frame(300, 50); }, phone());
    SyntheticInput input(graph, dispatch);
    input.tap(Query::text("Save GPS data"));
    EXPECT_TRUE(isOn.get());
}

TEST(Button, StylesRolesAndDisabledButtons) {
    VirtualDispatch dispatch;
    int taps = 0;
    bool disabled = false;
    ViewGraph graph(
        [&] {
            return VStack({Button("OK", [&] { ++taps; }),
                           Button("Follow", [&] { ++taps; })
                               .buttonStyle(ButtonStyle::borderedProminent),
                           Button(
                               "No, thanks!", [&] { ++taps; }, ButtonRole::cancel)})
                .disabled(disabled);
        },
        phone());
    SyntheticInput input(graph, dispatch);
    graph.update();
    EXPECT_EQ(graph.tree().get(Query::text("OK")).environment().foreground, Color::accent());
    EXPECT_EQ(graph.tree().get(Query::text("Follow")).environment().foreground, Color::white());
    input.tap(Query::text("OK"));
    input.tap(Query::text("Follow"));
    input.tap(Query::text("No, thanks!"));
    EXPECT_EQ(taps, 3);

    disabled = true;
    graph.invalidate();
    graph.update();
    EXPECT_EQ(graph.tree().get(Query::text("OK")).environment().foreground, Color::gray());
    input.tap(Query::text("OK"));
    EXPECT_EQ(taps, 3);
}

} // namespace
} // namespace qv::platform::ui
