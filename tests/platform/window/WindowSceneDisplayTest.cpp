#include "FramePicture.hpp"
#include "XvfbServer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"

#include <SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace qv::platform::window {
namespace {

namespace ui = qv::platform::ui;

TEST(WindowSceneDisplay, ClickThroughXTapsAViewAndTheRebuiltTreeIsShown) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    std::string error;
    WindowOptions options;
    options.title = "qv-window-scene-test";
    options.scale = 1;
    auto host = WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;

    int taps = 0;
    std::unique_ptr<WindowScene> scene;
    const auto content = [&taps] {
        return ui::ZStack({
            ui::Color::black(),
            ui::VStack({
                ui::Text(taps == 0 ? "Tap the square" : "Tapped " + std::to_string(taps))
                    .font(ui::Font::title2())
                    .foregroundColor(ui::Color::white())
                    .testTag("label"),
                ui::RoundedRectangle(12)
                    .fill(taps == 0 ? ui::Color::gray() : ui::Color::green())
                    .frame(120, 120)
                    .testTag("square")
                    .rotationEffect(ui::degrees(45))
                    .onTapGesture([&taps] { ++taps; }),
            }),
        });
    };
    scene = std::make_unique<WindowScene>(*host, content);

    bool clicked = false;
    const std::uint64_t started = SDL_GetTicks64();
    std::function<void()> poll;
    poll = [&] {
        if (scene->tree() != nullptr && !clicked) {
            clicked = true;
            const ui::Rect r = scene->tree()->get(ui::Query::tag("square")).screenFrame();
            EXPECT_EQ(
                testing::runProgram({"xdotool", "search", "--sync", "--name",
                                     "^qv-window-scene-test$", "mousemove", "--window", "%1",
                                     std::to_string(static_cast<int>(r.midX())),
                                     std::to_string(static_cast<int>(r.midY())), "click", "1"}),
                0);
        }
        if (taps > 0 && scene->tree()->find(ui::Query::text("Tapped 1")) != nullptr) {
            host->quit();
            return;
        }
        if (SDL_GetTicks64() - started > 20000) {
            ADD_FAILURE() << "the click did not arrive";
            host->quit();
            return;
        }
        DispatchQueue::main().asyncAfter(Seconds(0.02), poll);
    };
    DispatchQueue::main().async(poll);
    host->run();

    EXPECT_EQ(taps, 1);
    EXPECT_GE(scene->rebuilds(), 2);
    EXPECT_TRUE(testing::FramePicture("window-host.png").write(*host));
    // The square is drawn green after the tap.
    const ui::Rect r = scene->tree()->get(ui::Query::tag("square")).screenFrame();
    const std::uint32_t pixel = host->lastFrame()[static_cast<std::size_t>(r.midY()) * 390 +
                                                  static_cast<std::size_t>(r.midX())];
    EXPECT_GT((pixel >> 8) & 0xff, 0x60u);
    EXPECT_LT((pixel >> 16) & 0xff, 0x40u);
    scene.reset();
}

} // namespace
} // namespace qv::platform::window
