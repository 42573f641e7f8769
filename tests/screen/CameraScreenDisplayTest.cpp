// The camera screen in the window on Xvfb: the controller on the simulated phone on the
// virtual clock, clicked through X from idle through a series to its result. The pictures
// go to docs/ with QV_UPDATE_DOCS=1 (docs/screen.md shows them).

#include "FramePicture.hpp"
#include "ScreenTesting.hpp"
#include "XvfbServer.hpp"
#include "camera/CameraManager.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"
#include "screen/CameraMainView.hpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qv {
namespace {

using namespace platform::ui;
namespace window = platform::window;

// A phone whose live frames and photos are large enough to look at, small enough to shoot
// a series quickly.
std::string displayProfile() {
    return R"({"cameras": [{"type": "wide", "photoSize": [800, 600], "previewSize": [640, 480],
        "videoSize": [640, 480]}]})";
}

class CameraScreenDisplayTest : public testing::SimulatedPhoneTest {
protected:
    static constexpr const char* title = "qv-camera-screen-test";
    static constexpr double scale = 1;

    const ViewTree& tree() { return *scene->tree(); }
    bool shows(const std::string& tag) {
        return scene->tree() != nullptr && scene->tree()->find(Query::tag(tag)) != nullptr;
    }
    // Turns the window's loop until `condition`, the virtual clock moving `virtualStep`
    // a turn; after a click each turn waits up to 20 ms of real time for X to deliver it.
    bool stepUntil(const std::function<bool()>& condition, double virtualStep = 0.05) {
        for (int turn = 0; turn < 1000; ++turn) {
            if (scene->tree() != nullptr && condition()) {
                clicked_ = false;
                return true;
            }
            if (!host->step(clicked_ ? 0.02 : 0)) {
                return false;
            }
            dispatch.runFor(platform::Seconds(virtualStep));
        }
        return false;
    }
    // A click through X at the centre of the view tagged `tag`.
    void click(const std::string& tag) {
        const Point p = tree().get(Query::tag(tag)).screenFrame().center();
        ASSERT_EQ(testing::runProgram({"xdotool", "search", "--sync", "--name",
                                       std::string("^") + title + "$", "mousemove", "--window",
                                       "%1", std::to_string(int(p.x * scale)),
                                       std::to_string(int(p.y * scale)), "click", "1"}),
                  0);
        clicked_ = true;
    }
    // The window drawn from the current tree, as docs/<name>.
    void picture(const std::string& name) {
        EXPECT_TRUE(testing::FramePicture(name).writeCurrent(*scene, *host)) << name;
    }

    bool clicked_ = false;    // a click may still be on its way
    testing::XvfbServer xvfb; // outlives the window
    std::unique_ptr<window::WindowHost> host;
    std::unique_ptr<window::WindowScene> scene;
};

TEST_F(CameraScreenDisplayTest, ClickedThroughXFromIdleThroughASeriesToItsResult) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    startSimulated(displayProfile());
    std::string error;
    window::WindowOptions options;
    options.title = title;
    options.scale = scale;
    host = window::WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;
    scene = std::make_unique<window::WindowScene>(
        *host, [this] { return View(CameraMainView{}).environmentObject(*camera); }, *permissions);

    // Idle, with the live picture.
    ASSERT_TRUE(stepUntil([&] { return shows("camera preview"); }));
    dispatch.runFor(platform::Seconds(1));
    picture("screen-idle.png");

    // The ISO selector once its opening scroll has brought the chosen ISO into view and
    // ended.
    click("ISO readout");
    const auto chosen = [&] {
        return "selector item " + std::to_string(camera->selectedISOIndex.get());
    };
    ASSERT_TRUE(stepUntil(
        [&] { return shows("ISO selector") && shows(chosen()) && !scene->graph().isAnimating(); }));
    const Element& scroll =
        *findAll(tree().get(Query::tag("ISO selector")), Query::kind("ScrollView")).front();
    EXPECT_TRUE(
        scroll.screenFrame().contains(tree().get(Query::tag(chosen())).screenFrame().center()));
    picture("screen-iso-selector.png");
    click("preview");
    ASSERT_TRUE(stepUntil([&] { return !shows("ISO selector"); }));

    // A series of three 5 s runs, a second apart, after a delay of 2 s.
    camera->exposureSequence->setSelectedDurationIndex(5);
    camera->settings.shutterReleaseDelay = Delay::two;
    camera->selectedRepetitionsIndex = 2;
    camera->selectedIntervalDelayIndex = 1;
    click("shutter");
    ASSERT_TRUE(stepUntil([&] {
        return camera->cameraState.get() == CameraState::countdown &&
               tree().find(Query::text("2")) != nullptr && !scene->graph().isAnimating();
    }));
    picture("screen-countdown.png");

    ASSERT_TRUE(stepUntil([&] {
        return shows("progress arc") && tree().find(Query::text("1 of 3")) != nullptr &&
               camera->exposureSequence->remainingTime() < 3.5;
    }));
    picture("screen-run.png");

    ASSERT_TRUE(stepUntil(
        [&] {
            return camera->cameraState.get() == CameraState::ready && !camera->seriesPosition() &&
                   camera->resultUIImage.get() != nullptr && shows("thumbnail picture");
        },
        0.2));
    EXPECT_EQ(documentNames().size(), 3u);
    click("thumbnail");
    ASSERT_TRUE(stepUntil([&] { return shows("result close") && !scene->graph().isAnimating(); }));
    picture("screen-result.png");
    click("result close");
    ASSERT_TRUE(stepUntil([&] { return !camera->showResultImage.get(); }));
}

} // namespace
} // namespace qv
