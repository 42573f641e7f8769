// The program's entry: the app from its command line and environment (AppLaunch.hpp).

#include "app/AppLaunch.hpp"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return qv::launchQuarnVesil(arguments, qv::processEnvironment());
}
