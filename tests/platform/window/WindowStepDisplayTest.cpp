// The window on the virtual clock: a test moves time itself and turns the loop with
// step(), clicking and resizing through X; nothing waits for a timer in real time.

#include "SolidFrame.hpp"
#include "XWindows.hpp"
#include "XvfbServer.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/layers/PreviewLayerHost.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"

#include <SDL.h>
#include <cmath>
#include <cstdlib>
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

// A window at `scale` pixels per point with a title xdotool finds it by.
std::unique_ptr<WindowHost> openWindow(const std::string& title, double scale) {
    std::string error;
    WindowOptions options;
    options.title = title;
    options.scale = scale;
    auto host = WindowHost::open(options, error);
    EXPECT_NE(host, nullptr) << error;
    return host;
}

TEST(WindowStep, TimersRunOnTheVirtualClockAndAClickThroughXArrives) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    const std::string title = "qv-window-step-test";
    auto host = openWindow(title, 1);
    ASSERT_NE(host, nullptr);

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
    ASSERT_EQ(xdotool(title, {"mousemove", "--window", "%1", std::to_string(int(target.midX())),
                              std::to_string(int(target.midY())), "click", "1"}),
              0);
    EXPECT_TRUE(stepUntil(*host, dispatch, [&] { return taps > 0; }));
    EXPECT_EQ(taps, 1);
}

TEST(WindowStep, AResizeGivesTheSceneItsNewSizeWithinThePhoneLimits) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    const std::string title = "qv-window-resize-test";
    auto host = openWindow(title, 2);
    ASSERT_NE(host, nullptr);

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
    ASSERT_EQ(xdotool(title, {"windowsize", "%1", "880", "1912"}), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch,
                          [&] {
                              return measured == ui::Size{440, 956};
                          }))
        << measured.width << " x " << measured.height;
    EXPECT_EQ(host->pointSize(), (PointSize{440, 956}));
    EXPECT_EQ(host->frameWidth(), 880);

    // Beyond the limits (no window manager holds them here) the window comes back
    // within them, and the frame keeps one scale.
    ASSERT_EQ(xdotool(title, {"windowsize", "%1", "1200", "700"}), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch,
                          [&] {
                              return measured == ui::Size{440, 568} && host->frameWidth() == 880 &&
                                     host->frameHeight() == 1136;
                          }))
        << measured.width << " x " << measured.height << ", " << host->frameWidth() << " x "
        << host->frameHeight();
}

TEST(WindowStep, ALiveLayersFramesAreDrawnWithoutARebuild) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    auto session = std::make_shared<CaptureSession>();
    CaptureDeviceState small;
    small.activeFormat.previewDimensions = {80, 60};
    small.formats = {small.activeFormat};
    session->addInput(CaptureDeviceInput::make(std::make_shared<InMemoryCaptureDevice>(small)));
    session->startRunning();
    auto layer = CaptureVideoPreviewLayer::make(session);

    const std::string title = "qv-window-layer-test";
    auto host = openWindow(title, 1);
    ASSERT_NE(host, nullptr);
    WindowScene scene(*host, [&] {
        return ui::ZStack({ui::View(ui::Color::black()).ignoresSafeArea(),
                           ui::PreviewLayerHost(layer).frame(390, 520)});
    });
    const auto centre = [&] { return host->lastFrame()[422 * 390 + 195] & 0xffffffu; };
    ASSERT_TRUE(stepUntil(*host, dispatch, [&] { return scene.tree() != nullptr; }));
    EXPECT_EQ(centre(), 0u) << "no frame yet";
    EXPECT_TRUE(stepUntil(*host, dispatch, [&] { return centre() != 0; }))
        << "the camera's frames reach the window";

    // A frame handed to the layer is drawn at the next step, without a rebuild. (Under a
    // VirtualDispatch a step after the clock passed any queue's deadline rebuilds, as
    // main-queue work may have run: so no time passes between these two steps.)
    ASSERT_TRUE(host->step());
    const int rebuilds = scene.rebuilds();
    auto red = PixelBuffer::make(80, 60, pixelformat::bgra32);
    for (std::size_t y = 0; y < 60; ++y) {
        std::fill_n(red->row<std::uint32_t>(y), 80, 0xffff0000u);
    }
    layer->present(red);
    ASSERT_TRUE(host->step());
    EXPECT_EQ(centre(), 0xff0000u);
    EXPECT_EQ(scene.rebuilds(), rebuilds);
}

// At rest the window shows nothing anew, whatever rebuilds the main queue's work brings; a
// live layer's new frame is drawn once, in its host's rectangle, and the server shows it.
TEST(WindowStep, AtRestNothingIsDrawnAndEachLiveFrameOnceInItsHost) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    // A layer of a session that is not running shows the frames handed to it.
    auto layer = CaptureVideoPreviewLayer::make(std::make_shared<CaptureSession>());
    layer->present(testing::solidFrame(80, 60, 0xff0000ffu));
    const std::string title = "qv-window-rest-test";
    auto host = openWindow(title, 1);
    ASSERT_NE(host, nullptr);
    int ticks = 0;
    WindowScene scene(*host, [&] {
        return ui::ZStack({ui::View(ui::Color::black()).ignoresSafeArea(),
                           ui::VStack({ui::PreviewLayerHost(layer).frame(390, 520),
                                       ui::Text("Quarn Vesil"), ui::Spacer()})})
            .onTimer(0.25, [&] { ++ticks; }); // work that changes nothing shown
    });
    ASSERT_TRUE(stepUntil(*host, dispatch, [&] { return scene.tree() != nullptr; }));
    for (int turn = 0; turn < 4; ++turn) {
        dispatch.runFor(Seconds(0.05));
        ASSERT_TRUE(host->step());
    }
    const std::uint64_t shown = host->framesDrawn();
    const int rebuilds = scene.rebuilds();
    for (int turn = 0; turn < 40; ++turn) {
        dispatch.runFor(Seconds(0.05));
        ASSERT_TRUE(host->step());
    }
    EXPECT_GE(ticks, 7);
    EXPECT_GT(scene.rebuilds(), rebuilds + 5) << "the ticks rebuilt the views";
    EXPECT_EQ(host->framesDrawn(), shown) << "and nothing was drawn for them";

    const std::uint32_t colours[] = {0xffffffffu, 0xff00ff00u, 0xffff0000u};
    for (const std::uint32_t colour : colours) {
        layer->present(testing::solidFrame(80, 60, colour));
        dispatch.runUntilIdle(); // the picture is prepared on the host's queue
        ASSERT_TRUE(host->step());
        ASSERT_TRUE(host->step());
    }
    EXPECT_EQ(host->framesDrawn(), shown + 3) << "one frame for each live frame";
    const auto at = [&](int x, int y) { return host->lastFrame()[std::size_t(y) * 390 + x]; };
    // The preview lies under the safe area's top (47 points).
    EXPECT_EQ(at(195, 300), 0xffff0000u);
    EXPECT_EQ(testing::shownPixel(title, 195, 300), 0xff0000u) << "the server shows it";
    EXPECT_EQ(testing::shownPixel(title, 195, 20), at(195, 20) & 0xffffffu);
}

// The wheel through X (buttons 4 and 5) scrolls the scroll view under the pointer, a notch
// at a time, and stops at the end of the content as a drag does; elsewhere it does nothing.
TEST(WindowStep, TheWheelThroughXScrollsTheScrollViewUnderThePointer) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    const std::string title = "qv-window-wheel-test";
    auto host = openWindow(title, 1);
    ASSERT_NE(host, nullptr);
    WindowScene scene(*host, [&] {
        std::vector<ui::View> rows;
        for (int i = 0; i < 30; ++i) {
            rows.push_back(ui::Text(std::to_string(i)).frame(100, 50));
        }
        return ui::VStack(
            {ui::ScrollView(ui::VStack(std::move(rows), ui::HorizontalAlignment::center, 0))
                 .frame(std::nullopt, 400),
             ui::Spacer()},
            ui::HorizontalAlignment::center, 0);
    });
    ASSERT_TRUE(stepUntil(*host, dispatch, [&] { return scene.tree() != nullptr; }));
    const auto top = [&] {
        return scene.tree()->get(ui::Query::text("0")).parent()->screenFrame().minY();
    };
    const double start = top();
    const auto wheel = [&](int x, int y, const char* button, int clicks) {
        return xdotool(title,
                       {"mousemove", "--window", "%1", std::to_string(x), std::to_string(y),
                        "click", "--repeat", std::to_string(clicks), "--delay", "1", button});
    };
    ASSERT_EQ(wheel(195, 200, "5", 3), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch, [&] {
        return std::abs(top() - (start - 3 * kWheelNotchPoints)) < 0.5;
    })) << top();
    ASSERT_EQ(wheel(195, 200, "4", 1), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch, [&] {
        return std::abs(top() - (start - 2 * kWheelNotchPoints)) < 0.5;
    })) << top();
    ASSERT_EQ(wheel(195, 600, "5", 2), 0); // below the scroll view
    for (int turn = 0; turn < 10; ++turn) {
        ASSERT_TRUE(host->step(0.02));
    }
    EXPECT_NEAR(top(), start - 2 * kWheelNotchPoints, 0.5);
    ASSERT_EQ(wheel(195, 200, "5", 100), 0);
    EXPECT_TRUE(stepUntil(*host, dispatch,
                          [&] { return std::abs(top() - (start - (30 * 50 - 400))) < 0.5; }))
        << "the end of the content: " << top();
}

// Another client ends the window: it destroys it (as `xdotool windowclose` does) or kills
// the app's connection (as `xkill` does), the window the process opened, as the app's is.
// Xlib's defaults end the process with status 1; here the loop ends as for a close.
void endTheWindowFromOutside(const std::string& how) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    VirtualDispatch dispatch;
    const std::string title = "qv-window-gone-" + how;
    auto host = openWindow(title, 1);
    ASSERT_NE(host, nullptr);
    int frames = 0;
    WindowScene scene(*host, [&] {
        return ui::View(ui::Color::black()).ignoresSafeArea().onTimer(0.1, [&] {
            ++frames;
        }); // keeps drawing frames
    });
    ASSERT_TRUE(stepUntil(*host, dispatch, [&] { return frames > 3; }));
    ASSERT_EQ(xdotool(title, {how}), 0);
    EXPECT_FALSE(stepUntil(*host, dispatch, [] { return false; }));
    EXPECT_FALSE(host->step()) << "stays closed";
}

// Each way in a process of its own (a child that runs just this test), the window the first
// of that process: after a window ended from outside the process opens no other.
TEST(WindowStep, AWindowDestroyedOrKilledFromOutsideEndsTheLoopAsACloseDoes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const std::string how : {"windowclose", "windowkill"}) {
        EXPECT_EXIT(
            {
                endTheWindowFromOutside(how);
                std::exit(::testing::Test::HasFailure() ? 1 : 0);
            },
            ::testing::ExitedWithCode(0), "")
            << how;
    }
}

} // namespace
} // namespace qv::platform::window
