#include "AppTesting.hpp"

#include "ScreenTesting.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"

#include <fstream>

namespace qv::testing {

using namespace platform::ui;

AppTest::AppTest() {
    const auto profile = home / "profile.json";
    std::ofstream(profile) << smallSimulatedProfile();
    platform::SimulatedCameraOptions options;
    options.source = "synthetic";
    options.profile = profile.string();
    simulated.emplace(platform::SimulatedCamera::make(options));
    installation.reset();
    installation.emplace(platform::CaptureDeviceDiscovery::install(simulated->devices()));
}

AppTest::~AppTest() {
    end();
}

Quarn_Vesil& AppTest::launch() {
    app = std::make_unique<Quarn_Vesil>(services());
    graph = std::make_unique<ViewGraph>([this] { return app->body(); }, testing::phone());
    settle();
    return *app;
}

void AppTest::end() {
    graph.reset();
    app.reset();
    pump();
}

Quarn_Vesil& AppTest::relaunch() {
    end();
    relaunchSettings();
    usePermissions(permissionScript);
    return launch();
}

void AppTest::settle() {
    for (int pass = 0; pass < 10; ++pass) {
        pump();
        if (graph->settle() == 0 && dispatch.runUntilIdle() == 0) {
            return;
        }
    }
}

bool AppTest::shows(const Query& query) {
    settle();
    return tree().find(query) != nullptr;
}

void AppTest::withPermissions(const std::string& script) {
    permissionScript = script;
    usePermissions(script);
}

void AppTest::answerPrompts(bool allow) {
    platformServices->permissions.setPromptPresenter(
        [this, allow](const platform::PermissionPrompt& prompt,
                      platform::Permissions::PromptAnswer answer) {
            prompts.push_back(prompt.service);
            answer(allow);
        });
}

} // namespace qv::testing
