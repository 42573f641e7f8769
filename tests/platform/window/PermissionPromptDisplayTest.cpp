#include "FramePicture.hpp"
#include "TestHome.hpp"
#include "XvfbServer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowScene.hpp"

#include <SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace qv::platform::window {
namespace {

namespace ui = qv::platform::ui;

TEST(PermissionPromptDisplay, AClickOnAllowThroughXGrantsTheCamera) {
    testing::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    ::unsetenv("QV_PERMISSIONS");
    const auto file = testing::freshTestFolder() / "permissions.json";
    Permissions permissions(file, {});

    std::string error;
    WindowOptions options;
    options.title = "qv-permission-prompt-test";
    options.scale = 1;
    auto host = WindowHost::open(options, error);
    ASSERT_NE(host, nullptr) << error;
    const auto content = [] {
        return ui::ZStack(
            {ui::View(ui::Color::black()).ignoresSafeArea(),
             ui::Text("Before we begin Quarn Vesil will ask you for some access rights:")
                 .font(ui::Font::title3())
                 .foregroundColor(ui::Color::white())
                 .padding(40)});
    };
    auto scene = std::make_unique<WindowScene>(*host, content, permissions);

    std::optional<PermissionStatus> answer;
    DispatchQueue::main().async([&] {
        permissions.request(PermissionService::camera, [&](PermissionStatus status) {
            DispatchQueue::main().async([&answer, status] { answer = status; });
        });
    });
    const testing::FramePicture picture("permission-prompt.png");
    int framesWithPrompt = 0;
    const std::uint64_t started = SDL_GetTicks64();
    std::function<void()> poll;
    poll = [&] {
        const ui::ViewTree* tree = scene->tree();
        if (answer) {
            host->quit();
            return;
        }
        if (tree != nullptr && tree->find(ui::Query::tag("permission-allow")) != nullptr &&
            ++framesWithPrompt == 2) {
            // The frame drawn from this tree shows the prompt: keep it, then click.
            EXPECT_TRUE(picture.write(*host));
            const ui::Rect r = tree->get(ui::Query::tag("permission-allow")).screenFrame();
            EXPECT_EQ(
                testing::runProgram({"xdotool", "search", "--sync", "--name",
                                     "^qv-permission-prompt-test$", "mousemove", "--window", "%1",
                                     std::to_string(static_cast<int>(r.midX())),
                                     std::to_string(static_cast<int>(r.midY())), "click", "1"}),
                0);
        }
        if (SDL_GetTicks64() - started > 20000) {
            ADD_FAILURE() << "no answer arrived";
            host->quit();
            return;
        }
        DispatchQueue::main().asyncAfter(Seconds(0.02), poll);
    };
    DispatchQueue::main().async(poll);
    host->run();

    EXPECT_EQ(answer, PermissionStatus::authorized);
    permissions.flush(); // the answer is written on the permissions' own queue
    EXPECT_EQ(Permissions(file, {}).status(PermissionService::camera),
              PermissionStatus::authorized);
    scene.reset();
}

} // namespace
} // namespace qv::platform::window
