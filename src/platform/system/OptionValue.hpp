#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// A setting the app's command line may give and, without it, its environment variable.
struct OptionValue {
    std::string text;
    std::string source; // the flag or the variable it came from, for messages
};

// `flagValue` when the command line gave one (source `flag`), else the value of the
// environment variable `variable` when it is set, else nothing.
std::optional<OptionValue> optionOrEnvironment(const std::optional<std::string>& flagValue,
                                               const std::string& flag,
                                               const std::string& variable);

} // namespace qv::platform
