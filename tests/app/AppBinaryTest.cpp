// The built program's answers to its command line: output, stream and exit status, and
// that help and version read and create nothing.

#include "AppProcess.hpp"
#include "platform/system/AppInfo.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qv::testing {
namespace {

// An empty home for one run.
class EmptyHome {
public:
    EmptyHome() {
        char pattern[] = "/tmp/qv-app-binary-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~EmptyHome() { std::filesystem::remove_all(path); }
    std::string path;
};

TEST(AppBinary, HelpAndVersionPrintOnStandardOutputAndCreateNothing) {
    EmptyHome home;
    const AppExit help = runApp({"--help"}, {{"QV_HOME", home.path}});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.standardOutput.starts_with("Usage: quarn-vesil [OPTION]...\n"));
    EXPECT_NE(help.standardOutput.find(home.path + "/settings.json"), std::string::npos);
    EXPECT_EQ(help.standardError, "");

    const AppExit version = runApp({"--version"}, {{"QV_HOME", home.path}});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.standardOutput, "Quarn Vesil " + platform::appVersion() + "\n");
    EXPECT_EQ(version.standardError, "");
    EXPECT_TRUE(filesUnder(home.path).empty());
}

TEST(AppBinary, AWrongCommandLineSaysWhyOnStandardErrorAndExitsTwo) {
    EmptyHome home;
    for (const auto& [arguments, reason] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus"}, "unknown option '--bogus'"},
             {{"--location"}, "option '--location' needs a value"},
             {{"--location", "48.8584"}, "--location: "},
             {{"--location=91,0"}, "--location: "}}) {
        const AppExit exit = runApp(arguments, {{"QV_HOME", home.path}, {"DISPLAY", ":99999"}});
        EXPECT_EQ(exit.status, 2) << arguments[0];
        EXPECT_EQ(exit.standardOutput, "");
        EXPECT_TRUE(exit.standardError.starts_with("quarn-vesil: " + reason)) << exit.standardError;
        EXPECT_TRUE(exit.standardError.ends_with("\nTry 'quarn-vesil --help'.\n"));
    }
    EXPECT_TRUE(filesUnder(home.path).empty());
}

TEST(AppBinary, AFlagNamingAMissingOrUnusableFileOrFolderExitsTwoWithOneLine) {
    EmptyHome home;
    const std::string bad = home.path + "/bad.json";
    std::ofstream(bad) << "{\"cameras\": ";
    const std::string loop = home.path + "/loop";
    std::filesystem::create_symlink("loop", loop);
    for (const auto& [arguments, line] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--camera-profile", "/missing.json"},
              "--camera-profile: camera profile '/missing.json': does not exist"},
             {{"--camera-profile", bad},
              "--camera-profile: camera profile '" + bad + "': not valid JSON"},
             {{"--camera-profile=/dev/zero"},
              "--camera-profile: camera profile '/dev/zero': is a character device, not a "
              "regular file"},
             {{"--camera-source", "/missing/folder"},
              "--camera-source: camera source '/missing/folder': does not exist"},
             {{"--camera-source", bad},
              "--camera-source: camera source '" + bad + "': is not a folder"},
             {{"--camera-source", loop},
              "--camera-source: camera source '" + loop +
                  "': cannot be read (Too many levels of symbolic links)"}}) {
        // Said before the window is wanted: no display is needed to hear it.
        const AppExit exit = runApp(arguments, {{"QV_HOME", home.path}});
        EXPECT_EQ(exit.status, 2) << arguments[0];
        EXPECT_EQ(exit.standardOutput, "");
        EXPECT_EQ(exit.standardError, "quarn-vesil: " + line + "\n");
    }
}

// A source folder of many unusable files: twenty named, the rest counted in one line, then
// the one line on standard error.
TEST(AppBinary, ASourceFolderOfManyUnusableFilesNamesTwentyAndCountsTheRest) {
    EmptyHome home;
    const std::string frames = home.path + "/frames";
    std::filesystem::create_directory(frames);
    for (int i = 0; i < 1000; ++i) {
        std::ofstream(frames + "/" + std::to_string(1000 + i) + ".dng") << "not a picture";
    }
    const AppExit exit = runApp({"--camera-source", frames}, {{"QV_HOME", home.path}});
    EXPECT_EQ(exit.status, 2);
    EXPECT_EQ(std::count(exit.standardOutput.begin(), exit.standardOutput.end(), '\n'), 21);
    EXPECT_TRUE(exit.standardOutput.ends_with("recorded frames: 980 more unusable frames of '" +
                                              frames + "' skipped (only the first 20 are named)\n"))
        << exit.standardOutput;
    EXPECT_EQ(exit.standardError,
              "quarn-vesil: --camera-source: camera source '" + frames + "': no usable frame\n");
}

// In the environment the start goes on: the built-in profile, and no camera for a folder
// without frames.
TEST(AppBinary, TheSameValuesInTheEnvironmentSayOneLineAndTheStartGoesOn) {
    EmptyHome home;
    const AppExit exit = runApp({}, {{"QV_HOME", home.path},
                                     {"QV_CAMERA_PROFILE", "/missing.json"},
                                     {"QV_CAMERA_SOURCE", "/missing/folder"}});
    EXPECT_EQ(exit.status, 1); // it went on, to find no display
    EXPECT_EQ(exit.standardOutput,
              "camera profile '/missing.json': does not exist; the built-in profile applies\n"
              "camera source '/missing/folder': does not exist; no camera\n");

    const std::string empty = home.path + "/empty";
    std::filesystem::create_directory(empty);
    const AppExit emptyFolder = runApp({}, {{"QV_HOME", home.path}, {"QV_CAMERA_SOURCE", empty}});
    EXPECT_EQ(emptyFolder.status, 1);
    EXPECT_EQ(emptyFolder.standardOutput,
              "camera source '" + empty + "': holds no DNG, TIFF or JPEG file; no camera\n");
}

TEST(AppBinary, WithoutADisplayItSaysSoAndExitsOne) {
    EmptyHome home;
    const AppExit exit = runApp({}, {{"QV_HOME", home.path}});
    EXPECT_EQ(exit.status, 1);
    EXPECT_EQ(exit.standardOutput, "");
    EXPECT_EQ(exit.standardError,
              "quarn-vesil: no display to open the window on; set DISPLAY or WAYLAND_DISPLAY\n");
    EXPECT_TRUE(filesUnder(home.path).empty());
}

// DISPLAY names a display where no X server answers (and XDG_RUNTIME_DIR is not set, as
// where there is no desktop session): one line naming the display, nothing from the
// libraries beneath.
TEST(AppBinary, ADisplayWithoutAnXServerIsNamedInOneLine) {
    EmptyHome home;
    const AppExit exit = runApp({}, {{"QV_HOME", home.path}, {"DISPLAY", ":99999"}});
    EXPECT_EQ(exit.status, 1);
    EXPECT_EQ(exit.standardOutput, "");
    EXPECT_EQ(exit.standardError, "quarn-vesil: no X server answers on display ':99999' (DISPLAY); "
                                  "start one or set DISPLAY to one that runs\n");
}

} // namespace
} // namespace qv::testing
