#include "platform/system/AppInfo.hpp"

#include <iostream>

int main() {
    std::cout << qv::platform::appName() << ' ' << qv::platform::appVersion() << '\n';
    return 0;
}
