#include "platform/system/OptionValue.hpp"

#include <cstdlib>

namespace qv::platform {

std::optional<OptionValue> optionOrEnvironment(const std::optional<std::string>& flagValue,
                                               const std::string& flag,
                                               const std::string& variable) {
    if (flagValue) {
        return OptionValue{*flagValue, flag};
    }
    if (const char* value = std::getenv(variable.c_str())) {
        return OptionValue{value, variable};
    }
    return std::nullopt;
}

} // namespace qv::platform
