// The program's entry: the app from its command line and environment (AppLaunch.hpp).

#include "app/AppLaunch.hpp"

#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    qv::EnvironmentVariables environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            environment.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return qv::launchQuarnVesil(arguments, environment);
}
