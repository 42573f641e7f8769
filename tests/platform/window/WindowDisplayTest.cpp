#include "XWindows.hpp"
#include "XvfbServer.hpp"
#include "platform/ui/views/Clipboard.hpp"
#include "platform/window/WindowHost.hpp"

#include <SDL.h>
#include <X11/X.h>
#include <cstdio>
#include <cstdlib>
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

// Opens a window of one point per pixel titled `title` on $DISPLAY and shows one frame: the
// top row red, the second fully transparent (alpha 0), the rest black.
std::unique_ptr<WindowHost> showTestFrame(const std::string& title, std::string& error) {
    WindowOptions options;
    options.title = title;
    options.scale = 1;
    auto host = WindowHost::open(options, error);
    if (host == nullptr) {
        return host;
    }
    int frames = 0;
    host->onDraw([&](const Frame& frame) {
        ++frames;
        for (int x = 0; x < frame.width; ++x) {
            frame.pixels[x] = 0xffff0000u;
            frame.pixels[frame.stride / 4 + x] = 0x00000000u;
        }
        return std::vector<ui::PixelRect>{{0, 0, frame.width, frame.height}};
    });
    for (int turn = 0; turn < 500 && frames == 0; ++turn) {
        host->step(0.02);
    }
    EXPECT_GT(frames, 0);
    return host;
}

// An X server of 16 bits offers DirectColor visuals beside TrueColor ones; a DirectColor
// window's colours are whatever its colour table says, which the screen shows while that
// table is installed. The window takes TrueColor, whose pixel values are the colours, so the
// app's black is the black of every other program at any depth. A screen of 30 bits (10 bits
// a channel) has no format SDL's window surface knows: the window takes one of its 24- or
// 32-bit TrueColor visuals, and on one of 32 bits every pixel is opaque, or a compositing
// manager would show the desktop through the frame's transparent pixels.
TEST(WindowHostDisplay, BlackIsBlackAndRedIsRedOnScreensOf16_24And30Bits) {
    for (const int depth : {16, 24, 30}) {
        SCOPED_TRACE(std::to_string(depth) + " bits");
        testing::XvfbServer xvfb(depth);
        ASSERT_TRUE(xvfb.running()) << xvfb.error();
        const std::string title = "qv-window-colour-test";
        std::string error;
        const auto host = showTestFrame(title, error);
        ASSERT_NE(host, nullptr) << error;

        EXPECT_EQ(testing::visualClassOf(title), TrueColor);
        EXPECT_EQ(testing::shownPixel(title, 100, 0), 0xff0000u);
        EXPECT_EQ(testing::shownPixel(title, 100, 1), 0x000000u);
        EXPECT_EQ(testing::shownPixel(title, 100, 400), 0x000000u);
        if (depth == 30) {
            EXPECT_EQ(testing::pixelValue(title, 100, 1), 0xff000000u);
            EXPECT_EQ(testing::pixelValue(title, 100, 0), 0xffff0000u);
        }
    }
}

// An 8-bit screen offers colour-table and 8-bit TrueColor visuals only, none of which SDL's
// window surface can take the frame's colours into: the start ends with one line that names
// the screen's depth and what the app needs.
TEST(WindowHostDisplay, AScreenOf8BitsIsRefusedWithOneLineNamingItsDepth) {
    testing::XvfbServer xvfb(8);
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    std::string error;
    auto failure = WindowHost::OpenFailure::noDisplay;
    const auto host = WindowHost::open(WindowOptions{}, error, failure);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(failure, WindowHost::OpenFailure::noVisual);
    EXPECT_EQ(error, "the screen of display '" + xvfb.display() +
                         "' is 8 bits deep and offers no visual the app can draw in: it needs a "
                         "TrueColor visual of 15 or 16 bits, or of 24 or 32 bits with 8 bits a "
                         "channel; set the screen to 24 bits");
}

// The environment names the window's visual: SDL_VIDEO_X11_WINDOW_VISUALID, or
// SDL_VIDEO_X11_VISUALID (SDL's visual for the whole display). A TrueColor one the app can draw
// in wins over the app's own choice (here a visual of 32 bits on a screen of 16).
TEST(WindowHostDisplay, ATrueColorVisualNamedInTheEnvironmentWinsOverTheAppsChoice) {
    testing::XvfbServer xvfb(16);
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    const auto deep = testing::visualIdOf(TrueColor, 32);
    ASSERT_TRUE(deep);
    const std::string title = "qv-window-visual-test";
    for (const char* variable : {"SDL_VIDEO_X11_WINDOW_VISUALID", "SDL_VIDEO_X11_VISUALID"}) {
        SCOPED_TRACE(variable);
        setenv(variable, std::to_string(*deep).c_str(), 1);
        std::string error;
        const auto host = showTestFrame(title, error);
        unsetenv(variable);
        ASSERT_NE(host, nullptr) << error;
        EXPECT_EQ(testing::visualOf(title), *deep);
        EXPECT_EQ(testing::shownPixel(title, 100, 0), 0xff0000u);
        EXPECT_EQ(testing::shownPixel(title, 100, 400), 0x000000u);
    }
}

// Any other visual the environment names is refused with one line that names the variable, the
// visual, its class and depth, and what the app needs: a DirectColor one, whose colours pass
// through a colour table (SDL's table at 16 bits drew black as (8,0,8)); one of a colour table
// (on a screen of 8 bits, where SDL's own start fails on it, and the app said that no X server
// answered, also with a Wayland display named beside X); a TrueColor one SDL's surface has no
// format for (8 and 30 bits); one the screen does not offer.
TEST(WindowHostDisplay, AnyOtherVisualNamedInTheEnvironmentIsRefusedWithOneLine) {
    constexpr int kNotOffered = -1;
    struct Named {
        int screenDepth;
        const char* variable;
        int visualClass; // or kNotOffered
        int visualDepth;
        std::string said; // of the visual, after its id
        const char* wayland = nullptr;
    };
    const std::string inexact =
        " bits, which the app cannot draw in exactly (its colours pass through a colour table)";
    const std::string indexes =
        " visual of 8 bits, which the app cannot draw in (its pixels are indexes into a colour "
        "table)";
    const std::vector<Named> cases = {
        {16, "SDL_VIDEO_X11_WINDOW_VISUALID", DirectColor, 16,
         "a DirectColor visual of 16" + inexact},
        {16, "SDL_VIDEO_X11_VISUALID", DirectColor, 16, "a DirectColor visual of 16" + inexact},
        {24, "SDL_VIDEO_X11_VISUALID", DirectColor, 24, "a DirectColor visual of 24" + inexact},
        {8, "SDL_VIDEO_X11_VISUALID", PseudoColor, 8, "a PseudoColor" + indexes},
        {8, "SDL_VIDEO_X11_VISUALID", StaticColor, 8, "a StaticColor" + indexes,
         "qv-no-such-wayland"},
        {8, "SDL_VIDEO_X11_WINDOW_VISUALID", GrayScale, 8, "a GrayScale" + indexes},
        {8, "SDL_VIDEO_X11_VISUALID", TrueColor, 8,
         "a TrueColor visual of 8 bits, which the app cannot draw in"},
        {30, "SDL_VIDEO_X11_WINDOW_VISUALID", TrueColor, 30,
         "a TrueColor visual of 30 bits, which the app cannot draw in"},
        {30, "SDL_VIDEO_X11_WINDOW_VISUALID", kNotOffered, 0, {}},
    };
    const std::string needs = ": it needs a TrueColor visual of 15 or 16 bits, or of 24 or 32 "
                              "bits with 8 bits a channel; unset it to let the app choose";
    for (const Named& named : cases) {
        testing::XvfbServer xvfb(named.screenDepth);
        ASSERT_TRUE(xvfb.running()) << xvfb.error();
        std::string id = "0x7ffffff";
        std::string what = ", which the screen of display '" + xvfb.display() +
                           "' does not offer; unset it to let the app choose";
        if (named.visualClass != kNotOffered) {
            const auto found = testing::visualIdOf(named.visualClass, named.visualDepth);
            ASSERT_TRUE(found);
            char hex[32];
            std::snprintf(hex, sizeof hex, "%#lx", static_cast<unsigned long>(*found));
            id = hex;
            what = ", " + named.said + needs;
        }
        SCOPED_TRACE(std::string(named.variable) + "=" + id + " on " +
                     std::to_string(named.screenDepth) + " bits");
        setenv(named.variable, id.c_str(), 1);
        if (named.wayland != nullptr) {
            setenv("WAYLAND_DISPLAY", named.wayland, 1);
        }
        std::string error;
        auto failure = WindowHost::OpenFailure::noDisplay;
        const auto host = WindowHost::open(WindowOptions{}, error, failure);
        unsetenv(named.variable);
        unsetenv("WAYLAND_DISPLAY");
        EXPECT_EQ(host, nullptr);
        EXPECT_EQ(failure, WindowHost::OpenFailure::noVisual);
        EXPECT_EQ(error, std::string(named.variable) + " names the visual '" + id + "'" + what);
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
