#include "TestHome.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

namespace qv::testing {

std::filesystem::path testHome() {
    const char* home = std::getenv("QV_HOME");
    if (home == nullptr || *home == '\0') {
        // Only a binary that bypasses the shared test main gets here.
        throw std::logic_error("QV_HOME is not set: link the test binary through qv_test()");
    }
    return home;
}

std::filesystem::path freshTestFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path folder = testHome() / (test != nullptr ? test->name() : "no-test");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace qv::testing
