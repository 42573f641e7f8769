#pragma once
// The app's command line, read once at start-up:
//
//   quarn-vesil [--camera-source SOURCE] [--camera-profile FILE] [--location
//   LAT,LON[,ALT[,HEADING]]]
//               [--permissions SCRIPT] [-h | --help] [--version] [--]
//
// Each option takes its value as the next argument ("--location 48.85,2.29", also when the
// value starts with "-") or joined with "=" ("--location=48.85,2.29"); given twice, the last
// one counts. "--" ends the options; the app takes no other arguments. A flag's value is
// checked here, by the parser of the service that takes it (CameraSource, ConfiguredLocation,
// PermissionScript); the same value in its QV_ variable is read by that service later, which
// prints one line and applies its default when it is bad, so a flag beats its variable. The
// files and folders the camera flags name are read at start-up (AppLaunch.hpp), where one
// that cannot be used stops the start with status 2 as well.
//
// parseCommandLine is a pure function of the arguments and the environment: it reads no file
// and writes nothing, so "--help" and "--version" create nothing. The environment only
// names the file places "--help" shows.

#include "platform/capture/simulated/SimulatedCameraOptions.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/sensors/LocationManager.hpp"

#include <map>
#include <string>
#include <variant>
#include <vector>

namespace qv {

// The process's environment variables by name.
using EnvironmentVariables = std::map<std::string, std::string>;

// What the app starts with: the values of the flags given (nothing where a flag was not).
struct LaunchOptions {
    platform::SimulatedCameraOptions camera; // source and profile
    platform::LocationOptions location;
    platform::PermissionOptions permissions;
};

// The command line asks to print something and exit without starting: the help or the
// version (status 0, on standard output), or why the command line is wrong (status 2, on
// standard error: "quarn-vesil: " and the reason, then "Try 'quarn-vesil --help'.").
struct CommandLineExit {
    int status = 0;
    std::string standardOutput;
    std::string standardError;
};

inline constexpr int kExitUsage = 2;
// No display: none is named, nothing answers at the one named, or it shows nothing.
inline constexpr int kExitNoDisplay = 1;
// The screen offers no visual the app can draw in (a screen of 8 bits), or the visual named
// in SDL_VIDEO_X11_WINDOW_VISUALID or SDL_VIDEO_X11_VISUALID is not one or is not offered.
inline constexpr int kExitNoVisual = 3;
// A display answers, but the window cannot be made on it for another cause: the server
// refuses the connection, SDL cannot start its video there or make the window or its surface.
inline constexpr int kExitWindowNotMade = 4;

// `arguments` without the program's name.
std::variant<LaunchOptions, CommandLineExit>
parseCommandLine(const std::vector<std::string>& arguments,
                 const EnvironmentVariables& environment);

// The text of "--help": the options, the variables, and the places of the files in
// `environment`.
std::string helpText(const EnvironmentVariables& environment);

} // namespace qv
