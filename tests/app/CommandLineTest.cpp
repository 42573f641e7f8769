// The command line as a pure function: which flags reach the services, what is printed for
// help, version and mistakes, and with which exit status.

#include "app/commandline/CommandLine.hpp"

#include "platform/system/AppInfo.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

LaunchOptions launched(const std::vector<std::string>& arguments) {
    auto result = parseCommandLine(arguments, {});
    if (const auto* exit = std::get_if<CommandLineExit>(&result)) {
        ADD_FAILURE() << "exits with " << exit->status << ": " << exit->standardError;
        return {};
    }
    return std::get<LaunchOptions>(result);
}

CommandLineExit exited(const std::vector<std::string>& arguments,
                       const EnvironmentVariables& environment = {}) {
    auto result = parseCommandLine(arguments, environment);
    if (!std::holds_alternative<CommandLineExit>(result)) {
        ADD_FAILURE() << "launches";
        return {};
    }
    return std::get<CommandLineExit>(result);
}

// A usage error: status 2, nothing on standard output, the reason and the hint on standard
// error, two lines.
void expectUsageError(const std::vector<std::string>& arguments, const std::string& reason) {
    const CommandLineExit exit = exited(arguments);
    EXPECT_EQ(exit.status, 2);
    EXPECT_EQ(exit.standardOutput, "");
    EXPECT_EQ(exit.standardError, "quarn-vesil: " + reason + "\nTry 'quarn-vesil --help'.\n");
}

TEST(CommandLine, NoArgumentsLaunchWithNothingGiven) {
    const LaunchOptions options = launched({});
    EXPECT_FALSE(options.camera.source);
    EXPECT_FALSE(options.camera.profile);
    EXPECT_FALSE(options.location.location);
    EXPECT_FALSE(options.permissions.script);
}

TEST(CommandLine, EachFlagTakesItsValueApartOrJoinedAndTheLastOneCounts) {
    const LaunchOptions apart =
        launched({"--camera-source", "synthetic:7", "--camera-profile", "small.json", "--location",
                  "-33.8568,151.2153", "--permissions", "camera=authorized"});
    EXPECT_EQ(apart.camera.source, "synthetic:7");
    EXPECT_EQ(apart.camera.profile, "small.json");
    EXPECT_EQ(apart.location.location, "-33.8568,151.2153") << "a value may start with '-'";
    EXPECT_EQ(apart.permissions.script, "camera=authorized");

    const LaunchOptions joined = launched({"--camera-source=/frames/night", "--location=1,2",
                                           "--location=3,4,5", "--permissions=ask=allow", "--"});
    EXPECT_EQ(joined.camera.source, "/frames/night");
    EXPECT_EQ(joined.location.location, "3,4,5");
    EXPECT_EQ(joined.permissions.script, "ask=allow") << "only the first '=' joins";
}

TEST(CommandLine, HelpAndVersionPrintOnStandardOutputAndExitZero) {
    for (const char* flag : {"--help", "-h"}) {
        const CommandLineExit help = exited({flag, "--bogus"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.standardError, "");
        EXPECT_TRUE(help.standardOutput.starts_with("Usage: quarn-vesil [OPTION]...\n"));
        for (const char* text :
             {"--camera-source", "--camera-profile", "--location", "--permissions", "--version",
              "QV_HOME", "QV_CLOUD_CONTAINER", "Exit status"}) {
            EXPECT_NE(help.standardOutput.find(text), std::string::npos) << text;
        }
    }
    const CommandLineExit version = exited({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.standardOutput, "Quarn Vesil " + platform::appVersion() + "\n");
    EXPECT_EQ(version.standardError, "");
}

TEST(CommandLine, HelpNamesTheFilePlacesOfTheEnvironment) {
    const std::string underHome = exited({"--help"}, {{"QV_HOME", "/data/qv"}}).standardOutput;
    EXPECT_NE(underHome.find("/data/qv/settings.json"), std::string::npos);
    EXPECT_NE(underHome.find("/data/qv/Documents"), std::string::npos);
    EXPECT_NE(underHome.find("/data/qv/Photos"), std::string::npos);
    EXPECT_NE(underHome.find("none (set QV_CLOUD_CONTAINER)"), std::string::npos);

    const std::string xdg = exited({"--help"}, {{"HOME", "/home/ann"},
                                                {"XDG_DATA_HOME", "/srv/data"},
                                                {"QV_CLOUD_CONTAINER", "/mnt/cloud"}})
                                .standardOutput;
    EXPECT_NE(xdg.find("/home/ann/.config/quarn-vesil/settings.json"), std::string::npos);
    EXPECT_NE(xdg.find("/srv/data/quarn-vesil/Documents"), std::string::npos);
    EXPECT_NE(xdg.find("/mnt/cloud/Documents"), std::string::npos);
}

TEST(CommandLine, MistakesNameTheirReasonAndExitTwo) {
    expectUsageError({"--bogus"}, "unknown option '--bogus'");
    expectUsageError({"-x"}, "unknown option '-x'");
    expectUsageError({"--location"}, "option '--location' needs a value");
    expectUsageError({"--camera-source", "synthetic", "photo.dng"},
                     "unexpected argument 'photo.dng'");
    expectUsageError({"--", "--help"}, "unexpected argument '--help'");
    expectUsageError({"--version=2"}, "option '--version' takes no value");
    expectUsageError({"--camera-profile="}, "--camera-profile: the camera profile's file name is "
                                            "empty");
    expectUsageError({"--camera-source=synthetic:x"},
                     "--camera-source: camera source 'synthetic:x': the seed is not a whole "
                     "number from 0 to 4294967295");
    expectUsageError({"--bogus\n--help"}, "unknown option '--bogus\\n--help'");
}

TEST(CommandLine, AMalformedLocationOrScriptIsRefusedByItsServicesParser) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"--location", "91,0"},
                                               {"--location=north"},
                                               {"--permissions", "camera=maybe"},
                                               {"--permissions=photos"}}) {
        const CommandLineExit exit = exited(arguments);
        EXPECT_EQ(exit.status, 2) << arguments[0];
        EXPECT_TRUE(exit.standardError.starts_with(
            "quarn-vesil: " + arguments[0].substr(0, arguments[0].find('=')) + ": "))
            << exit.standardError;
        EXPECT_EQ(std::count(exit.standardError.begin(), exit.standardError.end(), '\n'), 2)
            << exit.standardError;
    }
}

} // namespace
} // namespace qv
