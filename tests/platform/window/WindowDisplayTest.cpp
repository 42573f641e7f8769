#include "XWindows.hpp"
#include "XvfbServer.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/window/WindowHost.hpp"

#include <SDL.h>
#include <X11/X.h>
#include <gtest/gtest.h>
#include <vector>

namespace qv::platform::window {
namespace {

TEST(WindowHostDisplay, ClickThroughXReachesThePointerCallbackInPoints) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    std::string error;
    WindowOptions options;
    options.title = "qv-window-host-test";
    options.scale = 2;
    auto host = WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;
    EXPECT_EQ(host->pointSize(), (PointSize{390, 844}));

    host->setIdleTimerDisabled(true);
    EXPECT_TRUE(host->isIdleTimerDisabled());
    host->setIdleTimerDisabled(false);
    EXPECT_FALSE(host->isIdleTimerDisabled());

    std::vector<PointerInput> pointer;
    std::vector<ui::ScenePhase> phases;
    int frames = 0;
    bool clicked = false;
    const std::uint64_t started = SDL_GetTicks64();
    host->onDraw([&](const Frame& frame) {
        ++frames;
        EXPECT_EQ(frame.width, 780);
        EXPECT_EQ(frame.height, 1688);
        EXPECT_EQ(frame.scale, 2.0);
        EXPECT_EQ(frame.safeAreaTop, 47);
        EXPECT_EQ(frame.safeAreaBottom, 34);
        for (int y = 0; y < frame.height / 2; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                frame.pixels[y * frame.stride / 4 + x] = 0xffff0000u; // top half red
            }
        }
        return std::vector<ui::PixelRect>{{0, 0, frame.width, frame.height / 2}};
    });
    host->onPointer([&](const PointerInput& p) {
        pointer.push_back(p);
        if (p.phase == PointerPhase::up) {
            host->quit();
        }
    });
    host->onScenePhase([&](ui::ScenePhase phase) { phases.push_back(phase); });
    host->setMainLoop(
        {[&] {
             if (frames > 0 && !clicked) {
                 clicked = true;
                 // 60 x 100 points is 120 x 200 pixels at scale 2.
                 EXPECT_EQ(testing::runProgram({"xdotool", "search", "--sync", "--name",
                                                "^qv-window-host-test$", "mousemove", "--window",
                                                "%1", "120", "200", "click", "1"}),
                           0);
             }
             if (SDL_GetTicks64() - started > 20000) {
                 ADD_FAILURE() << "no click arrived";
                 host->quit();
             }
         },
         [] { return std::optional<double>(); }});
    host->run();

    ASSERT_GE(pointer.size(), 2u);
    EXPECT_EQ(pointer.front().phase, PointerPhase::down);
    EXPECT_DOUBLE_EQ(pointer.front().location.x, 60);
    EXPECT_DOUBLE_EQ(pointer.front().location.y, 100);
    EXPECT_EQ(pointer.back().phase, PointerPhase::up);
    ASSERT_FALSE(phases.empty());
    EXPECT_NE(phases.back(), ui::ScenePhase::background);
    ASSERT_EQ(host->frameWidth(), 780);
    EXPECT_EQ(host->lastFrame()[200 * 780 + 120], 0xffff0000u);
    EXPECT_EQ(host->lastFrame()[1500 * 780 + 120], 0xff000000u);
}

// An X server of 16 bits offers DirectColor visuals beside TrueColor ones; a DirectColor
// window's colours are whatever its colour table says, which the screen shows while that
// table is installed. The window takes TrueColor, whose pixel values are the colours, so the
// app's black is the black of every other program at either depth.
TEST(WindowHostDisplay, BlackIsBlackAndRedIsRedOnScreensOf16And24Bits) {
    for (const int depth : {16, 24}) {
        SCOPED_TRACE(std::to_string(depth) + " bits");
        testing::XvfbServer xvfb(depth);
        ASSERT_TRUE(xvfb.running()) << xvfb.error();
        std::string error;
        WindowOptions options;
        options.title = "qv-window-colour-test";
        options.scale = 1;
        auto host = WindowHost::open(options, error);
        ASSERT_NE(host, nullptr) << error;
        int frames = 0;
        host->onDraw([&](const Frame& frame) {
            ++frames;
            for (int x = 0; x < frame.width; ++x) {
                frame.pixels[x] = 0xffff0000u; // the top row red, the rest black
            }
            return std::vector<ui::PixelRect>{{0, 0, frame.width, frame.height}};
        });
        for (int turn = 0; turn < 500 && frames == 0; ++turn) {
            ASSERT_TRUE(host->step(0.02));
        }
        ASSERT_GT(frames, 0);

        EXPECT_EQ(testing::visualClassOf(options.title), TrueColor);
        EXPECT_EQ(testing::shownPixel(options.title, 100, 0), 0xff0000u);
        EXPECT_EQ(testing::shownPixel(options.title, 100, 400), 0x000000u);
    }
}

TEST(WindowHostDisplay, TextsTheViewsCopyGoToTheDesktopClipboardWhileTheWindowIsOpen) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    std::string error;
    auto host = WindowHost::open(WindowOptions{}, error);
    ASSERT_NE(host, nullptr) << error;

    ui::Clipboard::setText("@quarnvesil");
    char* desktop = SDL_GetClipboardText();
    ASSERT_NE(desktop, nullptr);
    EXPECT_STREQ(desktop, "@quarnvesil");
    SDL_free(desktop);

    host.reset();
    ui::Clipboard::setText("#ShotWithQuarnVesil"); // no window: kept in the process only
    EXPECT_EQ(ui::Clipboard::text(), "#ShotWithQuarnVesil");
}

} // namespace
} // namespace qv::platform::window
