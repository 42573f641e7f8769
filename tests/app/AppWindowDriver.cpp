#include "AppWindowDriver.hpp"

#include "FramePicture.hpp"
#include "XWindowClose.hpp"
#include "XvfbServer.hpp"
#include "platform/ui/scene/ViewTree.hpp"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::testing {

namespace {

constexpr const char* kTitle = "Quarn Vesil";

int xdotool(std::vector<std::string> command) {
    std::vector<std::string> argv = {"xdotool", "search", "--sync", "--name",
                                     std::string("^") + kTitle + "$"};
    argv.insert(argv.end(), command.begin(), command.end());
    return runProgram(argv);
}

int failedParts() {
    const ::testing::TestResult* result =
        ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failed = 0;
    for (int i = 0; i < result->total_part_count(); ++i) {
        failed += result->GetTestPartResult(i).failed() ? 1 : 0;
    }
    return failed;
}

} // namespace

bool AppWindowDriver::stepUntil(const std::function<bool()>& condition, double virtualStep,
                                int turns) {
    for (int turn = 0; turn < turns; ++turn) {
        if (condition()) {
            return true;
        }
        if (!session_.host.step(0.02)) {
            return false;
        }
        dispatch_.runFor(platform::Seconds(virtualStep));
    }
    return condition();
}

void AppWindowDriver::pass(double seconds, double virtualStep) {
    for (double passed = 0; passed < seconds; passed += virtualStep) {
        session_.host.step();
        dispatch_.runFor(platform::Seconds(virtualStep));
    }
    session_.host.step();
}

bool AppWindowDriver::shows(const platform::ui::Query& query) const {
    const platform::ui::ViewTree* tree = session_.scene.tree();
    return tree != nullptr && tree->find(query) != nullptr;
}

bool AppWindowDriver::showsWithin(const std::string& tag, const platform::ui::Query& query) const {
    const platform::ui::ViewTree* tree = session_.scene.tree();
    const platform::ui::Element* within =
        tree != nullptr ? tree->find(platform::ui::Query::tag(tag)) : nullptr;
    return within != nullptr && !platform::ui::findAll(*within, query).empty();
}

bool AppWindowDriver::click(const platform::ui::Query& query) {
    if (!waitFor(query)) {
        return false;
    }
    const platform::ui::Rect frame = session_.scene.tree()->get(query).screenFrame();
    const double scale = session_.host.scale();
    return xdotool({"mousemove", "--window", "%1",
                    std::to_string(static_cast<int>(frame.midX() * scale)),
                    std::to_string(static_cast<int>(frame.midY() * scale)), "click", "1"}) == 0;
}

bool AppWindowDriver::drag(platform::ui::Point from, platform::ui::Point to) {
    const double scale = session_.host.scale();
    const auto pixel = [scale](double points) {
        return std::to_string(static_cast<int>(points * scale));
    };
    std::vector<std::string> command = {"mousemove",   "--window",  "%1", pixel(from.x),
                                        pixel(from.y), "mousedown", "1"};
    constexpr int steps = 8;
    for (int step = 1; step <= steps; ++step) {
        const double t = double(step) / steps;
        command.insert(command.end(),
                       {"mousemove", "--window", "%1", pixel(from.x + (to.x - from.x) * t),
                        pixel(from.y + (to.y - from.y) * t)});
    }
    command.insert(command.end(), {"mouseup", "1"});
    if (xdotool(command) != 0) {
        return false;
    }
    pass(0.5);
    return true;
}

bool AppWindowDriver::clickWithin(const std::string& area, const platform::ui::Query& query) {
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (!waitFor(platform::ui::Query::tag(area))) {
            return false;
        }
        const auto* tree = session_.scene.tree();
        const auto scrolls = platform::ui::findAll(tree->get(platform::ui::Query::tag(area)),
                                                   platform::ui::Query::kind("ScrollView"));
        if (scrolls.empty()) {
            return false;
        }
        const platform::ui::Rect visible = scrolls.front()->screenFrame();
        const auto* found = tree->find(query);
        if (found != nullptr) {
            const platform::ui::Rect target = found->screenFrame();
            if (target.midY() > visible.minY() && target.midY() < visible.maxY()) {
                return click(query);
            }
        }
        // Not built yet (a lazy grid builds what is in view) or below: scroll on.
        const bool above = found != nullptr && found->screenFrame().midY() <= visible.minY();
        const double by = visible.height / 3;
        const platform::ui::Point start{visible.midX(), visible.midY()};
        drag(start, {start.x, start.y + (above ? by : -by)});
    }
    return false;
}

bool AppWindowDriver::key(const std::string& name) {
    return xdotool({"key", "--window", "%1", name}) == 0;
}

void AppWindowDriver::picture(const std::string& name) {
    EXPECT_TRUE(FramePicture(name).writeCurrent(session_.scene, session_.host)) << name;
}

bool AppWindowDriver::closeWindow() {
    return askWindowToClose(kTitle) && stepUntilClosed();
}

bool AppWindowDriver::endWindowFromOutside(const std::string& command) {
    return xdotool({command}) == 0 && stepUntilClosed();
}

bool AppWindowDriver::stepUntilClosed() {
    for (int turn = 0; turn < 500; ++turn) {
        if (!session_.host.step(0.02)) {
            return true;
        }
        dispatch_.runFor(platform::Seconds(0.05));
    }
    return false;
}

int launchInChild(const std::vector<std::string>& arguments,
                  const std::function<void(AppWindowDriver&)>& phase) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int failedBefore = failedParts();
    const pid_t child = ::fork();
    if (child == 0) {
        int status = 0;
        {
            const platform::ConsoleCapture console;
            platform::VirtualDispatch dispatch;
            LaunchHooks hooks;
            hooks.watchesSignals = false;
            hooks.runWindow = [&](AppSession& session) {
                AppWindowDriver driver(session, dispatch, console);
                phase(driver);
                if (session.host.step()) {
                    ADD_FAILURE() << "the phase left the window open";
                }
            };
            hooks.waitTurn = [&] { dispatch.runFor(platform::Seconds(0.05)); };
            status = launchQuarnVesil(arguments, processEnvironment(), hooks);
            std::fputs(console.text().c_str(), stdout);
        }
        const int failures = failedParts() - failedBefore;
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status != 0 ? status : failures > 0 ? 100 + failures : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace qv::testing
