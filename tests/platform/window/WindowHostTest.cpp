#include "platform/window/WindowHost.hpp"

#include "platform/window/PhoneKeys.hpp"
#include "platform/window/WindowLifecycle.hpp"
#include "platform/window/WindowSizing.hpp"

#include <SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace qv::platform::window {
namespace {

using ui::ScenePhase;
using Event = WindowLifecycle::Event;

TEST(WindowLifecycle, ReportsEachPhaseChangeOnceFromWindowEvents) {
    WindowLifecycle life;
    EXPECT_EQ(life.phase(), ScenePhase::background);
    EXPECT_EQ(life.apply(Event::shown), ScenePhase::inactive);
    EXPECT_EQ(life.apply(Event::focusGained), ScenePhase::active);
    EXPECT_EQ(life.apply(Event::focusGained), std::nullopt); // no change, no report
    EXPECT_EQ(life.apply(Event::focusLost), ScenePhase::inactive);
    EXPECT_EQ(life.apply(Event::focusGained), ScenePhase::active);
    // Minimising takes the focus too, in either order; the scene is in the background once.
    EXPECT_EQ(life.apply(Event::minimized), ScenePhase::background);
    EXPECT_EQ(life.apply(Event::focusLost), std::nullopt);
    EXPECT_EQ(life.apply(Event::restored), ScenePhase::inactive);
    EXPECT_EQ(life.apply(Event::focusGained), ScenePhase::active);
    EXPECT_EQ(life.apply(Event::hidden), ScenePhase::background);
    EXPECT_EQ(life.apply(Event::shown), ScenePhase::active);
}

TEST(WindowSizing, ScaleFollowsTheDisplayButTheWindowAlwaysFits) {
    WindowSizing sizing;
    EXPECT_EQ(sizing.scaleFor(96, 2000), 1.0);
    EXPECT_EQ(sizing.scaleFor(192, 2000), 2.0);
    EXPECT_EQ(sizing.scaleFor(140, 2000), 1.5);
    EXPECT_EQ(sizing.scaleFor(0, 0), 1.0);     // nothing known: one pixel per point
    EXPECT_EQ(sizing.scaleFor(60, 2000), 1.0); // never below one on a large screen
    // A 2x display only 1440 pixels high: 844 points must still fit.
    EXPECT_DOUBLE_EQ(sizing.scaleFor(192, 1440), 1440.0 / 844.0);
    // A small 96-dpi screen: the window shrinks below one pixel per point.
    EXPECT_DOUBLE_EQ(sizing.scaleFor(96, 700), 700.0 / 844.0);
}

TEST(WindowSizing, ResizeStaysWithinPhoneLimits) {
    WindowSizing sizing;
    EXPECT_EQ(sizing.pointsForPixels(780, 1688, 2), (PointSize{390, 844}));
    EXPECT_EQ(sizing.pointsForPixels(2000, 300, 2), (PointSize{440, 568}));
    EXPECT_EQ(sizing.pointsForPixels(100, 5000, 1), (PointSize{320, 956}));
}

TEST(PhoneKeys, KeyboardAndMediaKeysStandForThePhone) {
    EXPECT_EQ(phoneKeyFor(SDLK_VOLUMEUP, 0), PhoneKey::volumeUp);
    EXPECT_EQ(phoneKeyFor(SDLK_VOLUMEDOWN, 0), PhoneKey::volumeDown);
    EXPECT_EQ(phoneKeyFor(SDLK_PLUS, 0), PhoneKey::volumeUp);
    EXPECT_EQ(phoneKeyFor(SDLK_EQUALS, KMOD_SHIFT), PhoneKey::volumeUp);
    EXPECT_EQ(phoneKeyFor(SDLK_KP_MINUS, 0), PhoneKey::volumeDown);
    EXPECT_EQ(phoneKeyFor(SDLK_2, 0), PhoneKey::orientationPortraitUpsideDown);
    EXPECT_EQ(phoneKeyFor(SDLK_3, 0), PhoneKey::orientationLandscapeLeft);
    EXPECT_EQ(phoneKeyFor(SDLK_LEFT, 0), PhoneKey::tiltLeft);
    EXPECT_EQ(phoneKeyFor(SDLK_0, 0), PhoneKey::tiltLevel);
    // The desktop's own shortcuts are left alone.
    EXPECT_EQ(phoneKeyFor(SDLK_MINUS, KMOD_LCTRL), std::nullopt);
    EXPECT_EQ(phoneKeyFor(SDLK_1, KMOD_LALT), std::nullopt);
    EXPECT_EQ(phoneKeyFor(SDLK_a, 0), std::nullopt);
}

TEST(WindowHost, WithoutADisplayOpeningFailsWithOneLine) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    std::string error;
    auto host = WindowHost::open(WindowOptions{}, error);
    EXPECT_EQ(host, nullptr);
    EXPECT_NE(error.find("no display"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);

    // A display that is named but not there: the line names it, whatever kinds are named.
    setenv("DISPLAY", ":9876", 1);
    error.clear();
    host = WindowHost::open(WindowOptions{}, error);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(error,
              "no X server answers on display ':9876' (DISPLAY); start one or set DISPLAY to one "
              "that runs");
    setenv("WAYLAND_DISPLAY", "qv-no-such-compositor", 1);
    error.clear();
    host = WindowHost::open(WindowOptions{}, error);
    EXPECT_EQ(host, nullptr);
    EXPECT_NE(error.find("'qv-no-such-compositor' (WAYLAND_DISPLAY) nor an X server on ':9876'"),
              std::string::npos)
        << error;
    unsetenv("DISPLAY");
    error.clear();
    host = WindowHost::open(WindowOptions{}, error);
    EXPECT_EQ(host, nullptr);
    EXPECT_NE(error.find("no Wayland compositor answers on display 'qv-no-such-compositor'"),
              std::string::npos)
        << error;
    unsetenv("WAYLAND_DISPLAY");

    // A driver that draws nowhere is no display either.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    error.clear();
    host = WindowHost::open(WindowOptions{}, error);
    EXPECT_EQ(host, nullptr);
    EXPECT_NE(error.find("dummy"), std::string::npos) << error;
    unsetenv("SDL_VIDEODRIVER");
}

} // namespace
} // namespace qv::platform::window
