#include "XvfbServer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"

#include <SDL.h>
#include <cairo.h>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace qv::platform::window {
namespace {

namespace ui = qv::platform::ui;

// Writes the window's last frame as PNG.
bool writeFrame(const WindowHost& host, const std::string& path) {
    const int w = host.frameWidth();
    const int h = host.frameHeight();
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(host.lastFrame().data())),
        CAIRO_FORMAT_ARGB32, w, h, w * 4);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

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
    // The screenshot under docs/ is refreshed only on request (QV_UPDATE_DOCS=1);
    // otherwise the frame goes to a temporary file, so a run leaves the tree clean.
    const char* update = std::getenv("QV_UPDATE_DOCS");
    const bool refreshDocs = update != nullptr && std::string(update) == "1";
    const std::string picture = refreshDocs
                                    ? std::string(QV_SOURCE_DIR) + "/docs/window-host.png"
                                    : (std::filesystem::temp_directory_path() /
                                       ("qv-window-host-" + std::to_string(::getpid()) + ".png"))
                                          .string();
    EXPECT_TRUE(writeFrame(*host, picture));
    if (!refreshDocs) {
        std::filesystem::remove(picture);
    }
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
