#include "app/commandline/CommandLine.hpp"

#include "platform/files/AppFolders.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/permissions/PermissionScript.hpp"
#include "platform/sensors/ConfiguredLocation.hpp"
#include "platform/system/AppInfo.hpp"

#include <array>
#include <functional>
#include <optional>
#include <string_view>

namespace qv {

namespace {

constexpr std::string_view kProgram = "quarn-vesil";

// One option that takes a value: where it goes, and how its value is checked (an empty
// reason: accepted).
struct ValueOption {
    std::string_view name;
    std::function<std::string(std::string_view value)> check;
    std::function<void(LaunchOptions&, std::string value)> store;
};

std::string checkedBy(bool accepted, const std::string& error) {
    return accepted ? std::string() : error;
}

const std::array<ValueOption, 4>& valueOptions() {
    static const std::array<ValueOption, 4> options{{
        {"--camera-source",
         [](std::string_view value) {
             std::string error;
             return checkedBy(platform::CameraSource::parse(value, error).has_value(), error);
         },
         [](LaunchOptions& o, std::string value) { o.camera.source = std::move(value); }},
        {"--camera-profile",
         [](std::string_view value) {
             return checkedBy(!value.empty(), "the camera profile's file name is empty");
         },
         [](LaunchOptions& o, std::string value) { o.camera.profile = std::move(value); }},
        {"--location",
         [](std::string_view value) {
             std::string error;
             return checkedBy(platform::ConfiguredLocation::parse(value, error).has_value(), error);
         },
         [](LaunchOptions& o, std::string value) { o.location.location = std::move(value); }},
        {"--permissions",
         [](std::string_view value) {
             std::string error;
             return checkedBy(platform::PermissionScript::parse(value, error).has_value(), error);
         },
         [](LaunchOptions& o, std::string value) { o.permissions.script = std::move(value); }},
    }};
    return options;
}

const ValueOption* findValueOption(std::string_view name) {
    for (const ValueOption& option : valueOptions()) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

CommandLineExit usageError(const std::string& reason) {
    return {kExitUsage, "",
            std::string(kProgram) + ": " + reason + "\nTry '" + std::string(kProgram) +
                " --help'.\n"};
}

std::optional<std::string> variable(const EnvironmentVariables& environment, const char* name) {
    const auto found = environment.find(name);
    if (found == environment.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace

std::variant<LaunchOptions, CommandLineExit>
parseCommandLine(const std::vector<std::string>& arguments,
                 const EnvironmentVariables& environment) {
    LaunchOptions launch;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            if (i + 1 < arguments.size()) {
                return usageError("unexpected argument " + platform::quotedText(arguments[i + 1]));
            }
            break;
        }
        if (argument == "-h" || argument == "--help") {
            return CommandLineExit{0, helpText(environment), ""};
        }
        if (argument == "--version") {
            return CommandLineExit{0, platform::appName() + " " + platform::appVersion() + "\n",
                                   ""};
        }
        if (!argument.starts_with("-") || argument == "-") {
            return usageError("unexpected argument " + platform::quotedText(argument));
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const ValueOption* option = findValueOption(name);
        if (option == nullptr) {
            if (name == "-h" || name == "--help" || name == "--version") {
                return usageError("option '" + std::string(name) + "' takes no value");
            }
            return usageError("unknown option " + platform::quotedText(argument));
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return usageError("option '" + std::string(name) + "' needs a value");
        }
        if (const std::string reason = option->check(value); !reason.empty()) {
            return usageError(std::string(name) + ": " + reason);
        }
        option->store(launch, std::move(value));
    }
    return launch;
}

std::string helpText(const EnvironmentVariables& environment) {
    const auto folders = platform::AppFolders::fromVariables(
        [&environment](const char* name) { return variable(environment, name); });
    const std::string cloud = folders.cloudContainer
                                  ? (*folders.cloudContainer / "Documents").string()
                                  : std::string("none (set QV_CLOUD_CONTAINER)");
    return "Usage: quarn-vesil [OPTION]...\n" + platform::appName() + " " + platform::appVersion() +
           ": a long-exposure camera in a phone-shaped window. It shoots a timed sequence\n"
           "of frames on a simulated phone camera and merges them into one picture.\n"
           "\n"
           "Options (a value follows its option or is joined to it with \"=\"; \"--\" ends them):\n"
           "  --camera-source SOURCE   where the frames come from: \"synthetic\" (a night scene,\n"
           "                           the default), \"synthetic:SEED\", or a folder of DNG,\n"
           "                           TIFF or JPEG frames\n"
           "  --camera-profile FILE    the phone's cameras, as JSON (the built-in phone without)\n"
           "  --location LAT,LON[,ALT[,HEADING]]\n"
           "                           where the phone is, for GPS data: 48.8584,2.2945,35\n"
           "  --permissions SCRIPT     access preset for this run, or one answer to every\n"
           "                           question: camera=authorized,photos=limited,ask=allow\n"
           "  -h, --help               show this help and exit\n"
           "  --version                show the version and exit\n"
           "\n"
           "Environment:\n"
           "  QV_CAMERA_SOURCE, QV_CAMERA_PROFILE, QV_LOCATION, QV_PERMISSIONS\n"
           "                           the same values, used where the option is not given\n"
           "  QV_HOME                  one folder for the settings, pictures and photo library\n"
           "  QV_CLOUD_CONTAINER       the folder that stands in for the cloud\n"
           "  QV_THREADS               how many threads the merging may use (1 to 1024)\n"
           "\n"
           "Files:\n"
           "  settings       " +
           (folders.config / "settings.json").string() +
           "\n"
           "  permissions    " +
           (folders.config / "permissions.json").string() +
           "\n"
           "  pictures       " +
           folders.documents.string() +
           "\n"
           "  photo library  " +
           folders.photos.string() +
           "\n"
           "  cloud          " +
           cloud +
           "\n"
           "\n"
           "Keys: + and - are the volume buttons, 1 to 6 hold the phone portrait, upside down,\n"
           "landscape left, landscape right, face up and face down, the arrow keys tilt it and\n"
           "0 levels it.\n"
           "\n"
           "Exit status: 0 when the app ends (closing the window, SIGINT, SIGTERM or SIGHUP), 1\n"
           "without a display, 2 for a wrong command line, 3 when the screen offers no visual\n"
           "the app can draw in (a screen of 8 bits, or a visual named in\n"
           "SDL_VIDEO_X11_WINDOW_VISUALID or SDL_VIDEO_X11_VISUALID that it cannot draw in\n"
           "exactly or the screen does not offer), 4 when a display answers but the window\n"
           "cannot be made on it (the X server refuses the connection, SDL cannot start its\n"
           "video there or make the window).\n";
}

} // namespace qv
