#include "app/AppLaunch.hpp"

#include "app/AppQuit.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/files/SharedJsonFile.hpp"
#include "platform/sensors/ConfiguredLocation.hpp"
#include "platform/system/OptionValue.hpp"
#include "platform/system/QuitSignals.hpp"

#include <chrono>
#include <iostream>
#include <thread>

extern char** environ;

namespace qv {

namespace {

using platform::window::WindowHost;
using platform::window::WindowScene;

void runDueWorkAndSleep() {
    platform::MainLoop::runDueWork();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The simulated camera's sky turns about the pole of the configured location, when one is
// given (flag or variable) and readable; LocationManager reports a bad one itself.
platform::SimulatedCameraOptions cameraOptions(const LaunchOptions& options) {
    platform::SimulatedCameraOptions camera = options.camera;
    const auto given =
        platform::optionOrEnvironment(options.location.location, "--location", "QV_LOCATION");
    std::string ignored;
    if (given) {
        if (const auto fix = platform::ConfiguredLocation::parse(given->text, ignored)) {
            camera.latitude = fix->coordinate.latitude;
        }
    }
    return camera;
}

int exitStatusFor(WindowHost::OpenFailure failure) {
    switch (failure) {
    case WindowHost::OpenFailure::noDisplay:
        return kExitNoDisplay;
    case WindowHost::OpenFailure::noVisual:
        return kExitNoVisual;
    case WindowHost::OpenFailure::windowNotMade:
        break;
    }
    return kExitWindowNotMade;
}

int runApp(const LaunchOptions& options, const LaunchHooks& hooks) {
    platform::keepGoingWhenOutputCloses();
    // The window a signal asks to close: set and cleared on the main queue, where the
    // signal's request runs.
    const auto quitTarget = std::make_shared<WindowHost*>(nullptr);
    std::unique_ptr<platform::QuitSignals> signals;
    if (hooks.watchesSignals) {
        std::string error;
        signals = platform::QuitSignals::watch(
            [quitTarget](int) {
                platform::DispatchQueue::main().async([quitTarget] {
                    if (*quitTarget != nullptr) {
                        (*quitTarget)->quit();
                    }
                });
            },
            error);
        if (!signals) {
            std::cerr << "quarn-vesil: " << error << std::endl;
        }
    }
    platform::Permissions::configure(options.permissions);

    // The files and folders the flags name are read before the window opens: one the user
    // typed that cannot be used stops the start like any other wrong value.
    std::string error;
    const auto simulated = platform::SimulatedCamera::makeChecked(cameraOptions(options), error);
    if (!simulated) {
        std::cerr << "quarn-vesil: " << error << std::endl;
        return kExitUsage;
    }
    auto failure = WindowHost::OpenFailure::noDisplay;
    platform::window::WindowOptions windowOptions;
    windowOptions.failAt = hooks.windowFailsAt;
    const auto host = WindowHost::open(windowOptions, error, failure);
    if (!host) {
        std::cerr << "quarn-vesil: " << error << std::endl;
        return exitStatusFor(failure);
    }
    *quitTarget = host.get();
    const auto installation =
        platform::CaptureDeviceDiscovery::install(simulated->devices(), simulated->whyNoCamera());
    CameraServices services;
    services.location = options.location;
    {
        Quarn_Vesil app(services);
        WindowScene scene(*host, [&app] { return app.body(); });
        AppSession session{*host, scene, app};
        if (hooks.runWindow) {
            hooks.runWindow(session);
        } else {
            host->run();
        }
        quitApp(app, scene.graph(), hooks.waitTurn ? hooks.waitTurn : runDueWorkAndSleep);
    }
    // The library may still be taking files in: its work ends here, while what it uses is
    // still there (not among the statics torn down after main), and an index deleted since
    // the last save gets the rows only the library knew.
    services.photoLibrary.close();
    *quitTarget = nullptr;
    return 0;
}

} // namespace

EnvironmentVariables processEnvironment() {
    EnvironmentVariables environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            environment.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return environment;
}

int launchQuarnVesil(const std::vector<std::string>& arguments,
                     const EnvironmentVariables& environment, const LaunchHooks& hooks) {
    const auto parsed = parseCommandLine(arguments, environment);
    if (const auto* exit = std::get_if<CommandLineExit>(&parsed)) {
        std::cout << exit->standardOutput << std::flush;
        std::cerr << exit->standardError << std::flush;
        return exit->status;
    }
    const int status = runApp(std::get<LaunchOptions>(parsed), hooks);
    // The very last step, once nothing of the app runs any more: the main queue's last
    // blocks (run while the app ends), the library's close and whatever they set in the
    // settings or permissions, still queued behind, reach the files. A write left on a
    // writer's queue would race the process's exit.
    platform::SharedJsonFile::flushAll();
    return status;
}

} // namespace qv
