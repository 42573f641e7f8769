#include "TestHome.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
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

std::filesystem::path freshRunFolder() {
    static std::map<std::string, int> runs; // the test's thread only
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name =
        test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "no-test";
    const std::filesystem::path folder = freshTestFolder() / ("run" + std::to_string(++runs[name]));
    std::filesystem::create_directories(folder);
    return folder;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string contentOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace qv::testing
