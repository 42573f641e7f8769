// The app as `main` runs it (launchQuarnVesil) where a display answers but the window cannot
// be made for a cause no X server can be made to show: SDL failing to start its video there, to
// make the window or its surface, each failed through the launch's seam.

#include "XvfbServer.hpp"
#include "app/AppLaunch.hpp"

#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

namespace qv::testing {
namespace {

using platform::window::OpenStep;

// Each ends the start with one line on standard error and status 4, as --help says.
TEST(AppWindowFailure, SDLFailingToMakeTheWindowEndsTheStartWithOneLineAndStatusFour) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    for (const auto& [step, line] : std::vector<std::pair<OpenStep, std::string>>{
             {OpenStep::videoStart, "the X server on display '" + xvfb.display() +
                                        "' answers, but SDL's video cannot start on it: "
                                        "injected failure"},
             {OpenStep::window, "cannot open the window: injected failure"},
             {OpenStep::surface, "cannot draw into the window: injected failure"}}) {
        SCOPED_TRACE(line);
        LaunchHooks hooks;
        hooks.watchesSignals = false;
        hooks.windowFailsAt = step;
        std::ostringstream error;
        std::streambuf* const standardError = std::cerr.rdbuf(error.rdbuf());
        const int status = launchQuarnVesil({}, processEnvironment(), hooks);
        std::cerr.rdbuf(standardError);
        EXPECT_EQ(status, 4);
        EXPECT_EQ(error.str(), "quarn-vesil: " + line + "\n");
    }
}

} // namespace
} // namespace qv::testing
