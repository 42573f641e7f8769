#pragma once
// The program from its command line to its exit status, as `main` runs it:
//   1. the command line (commandline/CommandLine.hpp): help, version or a mistake print and
//      exit (0, 0, 2) before anything is read or made;
//   2. SIGINT, SIGTERM and SIGHUP become requests to quit (platform/system/QuitSignals.hpp;
//      one ignored at the start, as under nohup, stays ignored), and a standard output or error
//      that nobody reads any more no longer ends the app (SIGPIPE ignored:
//      platform/console/Console.hpp);
//   3. the simulated camera is made: a camera profile or source folder named by a flag that
//      is missing or unusable prints one line on standard error and exits 2;
//   4. the window opens; without it one line on standard error says why, and the status is
//      1 without a display, 3 where the screen offers no visual the app can draw in (8 bits
//      deep, or a visual named in the environment it cannot draw in exactly), 4 where a
//      display answers but the window cannot be made on it for another cause;
//   5. the camera is installed, the app made (Quarn_Vesil) and shown in the window;
//   6. the window's loop runs until the window is closed or a signal asks to quit;
//   7. the app takes its road out (AppQuit.hpp), the photo library's work still under way
//      (files being taken in) ends, and the status is 0;
//   8. whichever way the start or the app ended, the settings and permissions are flushed
//      once more, the very last step: what the main queue's last blocks (run while the app
//      ends) and the library's close set is in the files before the process exits.

#include "app/Quarn_Vesil.hpp"
#include "app/commandline/CommandLine.hpp"
#include "platform/window/WindowHost.hpp"
#include "platform/window/WindowScene.hpp"

#include <functional>
#include <string>
#include <vector>

namespace qv {

// The app while its window is open.
struct AppSession {
    platform::window::WindowHost& host;
    platform::window::WindowScene& scene;
    Quarn_Vesil& app;
};

// Seams for tests that run the whole app in their own process.
struct LaunchHooks {
    // Turns the window's loop until the window closes; the default runs WindowHost::run().
    // A display test steps it on a virtual clock and quits by closing the window.
    std::function<void(AppSession&)> runWindow;
    // One turn of waiting on the road out; the default runs the main queue's due work and
    // sleeps 10 ms.
    std::function<void()> waitTurn;
    // SIGINT, SIGTERM and SIGHUP ask the app to quit (off for tests in a process of their
    // own).
    bool watchesSignals = true;
    // A step of opening the window made to fail as SDL fails there (WindowHost.hpp).
    platform::window::OpenStep windowFailsAt = platform::window::OpenStep::none;
};

// The process's environment (`environ`), as `main` hands it to launchQuarnVesil.
EnvironmentVariables processEnvironment();

// `arguments` without the program's name. Prints on standard output and standard error.
int launchQuarnVesil(const std::vector<std::string>& arguments,
                     const EnvironmentVariables& environment, const LaunchHooks& hooks = {});

} // namespace qv
