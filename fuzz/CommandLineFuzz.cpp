// The app's command line: any arguments and environment either start the app with flag
// values each service's parser accepts, or print and exit: the help or the version with
// status 0 on standard output, or a mistake with status 2 as exactly two lines on
// standard error ("quarn-vesil: <reason>", "Try 'quarn-vesil --help'.").
//
// Input: arguments separated by NUL bytes; after a byte 0x01, environment entries
// "NAME=VALUE", separated by NUL bytes.

#include "app/commandline/CommandLine.hpp"
#include "platform/permissions/PermissionScript.hpp"
#include "platform/sensors/ConfiguredLocation.hpp"
#include "support/FuzzCheck.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace qv;

namespace {

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> parts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\0'), text.size());
        parts.emplace_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

bool accepted(const std::optional<std::string>& value, auto parse) {
    std::string error;
    return !value || parse(*value, error).has_value();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t marker = std::min(input.find('\x01'), input.size());
    const std::vector<std::string> arguments = split(input.substr(0, marker));
    EnvironmentVariables environment;
    for (const std::string& entry : split(input.substr(std::min(marker + 1, input.size())))) {
        const std::size_t equals = std::min(entry.find('='), entry.size());
        environment[entry.substr(0, equals)] = entry.substr(std::min(equals + 1, entry.size()));
    }

    const auto result = parseCommandLine(arguments, environment);
    if (const auto* options = std::get_if<LaunchOptions>(&result)) {
        QV_FUZZ_CHECK(accepted(options->camera.source, platform::CameraSource::parse));
        QV_FUZZ_CHECK(!options->camera.profile || !options->camera.profile->empty());
        QV_FUZZ_CHECK(accepted(options->location.location, platform::ConfiguredLocation::parse));
        QV_FUZZ_CHECK(accepted(options->permissions.script, platform::PermissionScript::parse));
        return 0;
    }
    const auto& exit = std::get<CommandLineExit>(result);
    if (exit.status == 0) {
        QV_FUZZ_CHECK(!exit.standardOutput.empty() && exit.standardError.empty());
        return 0;
    }
    QV_FUZZ_CHECK(exit.status == kExitUsage && exit.standardOutput.empty());
    const std::string& error = exit.standardError;
    QV_FUZZ_CHECK(error.starts_with("quarn-vesil: "));
    QV_FUZZ_CHECK(error.ends_with("\nTry 'quarn-vesil --help'.\n"));
    QV_FUZZ_CHECK(std::count(error.begin(), error.end(), '\n') == 2);
    return 0;
}
