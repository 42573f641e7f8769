// The window on the virtual clock: a test moves time itself and turns the loop with
// step(), clicking and resizing through X; nothing waits for a timer in real time.

#include "XvfbServer.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"

#include <SDL.h>
#include <gtest/gtest.h>
#include <string>

namespace qv::platform::window {
namespace {

namespace ui = qv::platform::ui;

// Turns the loop, with the virtual clock moving `virtualStep` each turn, until
// `condition` holds; each turn waits at most 20 ms of real time for X events.
bool stepUntil(WindowHost& host, VirtualDispatch& dispatch, const std::function<bool()>& condition,
               Seconds virtualStep = Seconds(0.05)) {
    for (int turn = 0; turn < 500; ++turn) {
        if (condition()) {
            return true;
        }
        if (!host.step(0.02)) {
            return false;
        }
        dispatch.runFor(virtualStep);
    }
    return condition();
}

int xdotool(const std::string& title, std::vector<std::string> command) {
    std::vector<std::string> argv = {"xdotool", "search", "--sync", "--name", "^" + title + "$"};
    argv.insert(argv.end(), command.begin(), command.end());
    return testing::runProgram(argv);
}

TEST(WindowStep, TimersRunOnTheVirtualClockAndAClickThroughXArrives) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    std::string error;
    WindowOptions options;
    options.title = "qv-window-step-test";
    options.scale = 1;
    auto host = WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;

    int ticks = 0;
    int taps = 0;
    WindowScene scene(*host, [&] {
        return ui::ZStack({ui::View(ui::Color::black()).ignoresSafeArea(),
                           ui::VStack({ui::Text(std::to_string(ticks) + " ticks"),
                                       ui::Rectangle()
                                           .fill(ui::Color::gray())
                                           .frame(100, 100)
                                           .testTag("target")
                                           .onTapGesture([&] { ++taps; })})})
            .onTimer(1.0, [&] { ++ticks; });
    });

    // Ten minutes on the virtual clock, a frame each virtual second.
    const MonotonicTime start = monotonicNow();
    for (int second = 0; second < 600; ++second) {
        ASSERT_TRUE(host->step());
        dispatch.runFor(Seconds(1));
    }
    ASSERT_TRUE(host->step());
    EXPECT_EQ(ticks, 600);
    EXPECT_EQ(monotonicNow() - start, std::chrono::seconds(600));
    ASSERT_NE(scene.tree(), nullptr);
    EXPECT_NE(scene.tree()->find(ui::Query::text("600 ticks")), nullptr) << "drawn each step";

    const ui::Rect target = scene.tree()->get(ui::Query::tag("target")).screenFrame();
    ASSERT_EQ(
        xdotool(options.title, {"mousemove", "--window", "%1", std::to_string(int(target.midX())),
                                std::to_string(int(target.midY())), "click", "1"}),
        0);
    EXPECT_TRUE(stepUntil(*host, dispatch, [&] { return taps > 0; }));
    EXPECT_EQ(taps, 1);
}

TEST(WindowStep, AResizeGivesTheSceneItsNewSizeWithinThePhoneLimits) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    std::string error;
    WindowOptions options;
    options.title = "qv-window-resize-test";
    options.scale = 2;
    auto host = WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;

    ui::Size measured;
    WindowScene scene(*host, [&] {
        return ui::GeometryReader([&](const ui::GeometryProxy& proxy) {
                   measured = proxy.size;
                   return ui::View(ui::Color::black());
               })
            .ignoresSafeArea();
    });
    ASSERT_TRUE(stepUntil(*host, dispatch, [&] { return scene.tree() != nullptr; }));
    EXPECT_EQ(measured, (ui::Size{390, 844}));

    // 440 x 956 points is the largest phone: 880 x 1912 pixels at scale 2.
    ASSERT_EQ(xdotool(options.title, {"windowsize", "%1", "880", "1912"}), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch,
                          [&] {
                              return measured == ui::Size{440, 956};
                          }))
        << measured.width << " x " << measured.height;
    EXPECT_EQ(host->pointSize(), (PointSize{440, 956}));
    EXPECT_EQ(host->frameWidth(), 880);

    // Beyond the limits (no window manager holds them here) the window comes back
    // within them, and the frame keeps one scale.
    ASSERT_EQ(xdotool(options.title, {"windowsize", "%1", "1200", "700"}), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch,
                          [&] {
                              return measured == ui::Size{440, 568} && host->frameWidth() == 880 &&
                                     host->frameHeight() == 1136;
                          }))
        << measured.width << " x " << measured.height << ", " << host->frameWidth() << " x "
        << host->frameHeight();
}

} // namespace
} // namespace qv::platform::window
