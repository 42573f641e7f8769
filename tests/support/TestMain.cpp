// The main of every test binary (qv_test() links it in place of gtest's own). Tests keep
// their files under QV_HOME; ctest sets it for each binary, and a binary started on its own
// gets a temporary home here, removed when the run ends.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A temporary QV_HOME for this run, made only when none is set.
class TemporaryHome {
public:
    explicit TemporaryHome(const char* program) {
        if (const char* home = std::getenv("QV_HOME"); home != nullptr && *home != '\0') {
            std::error_code ignored; // a home that cannot be made fails the tests that use it
            fs::create_directories(home, ignored);
            return;
        }
        const std::string name = fs::path(program != nullptr ? program : "test").filename();
        std::string pattern = (fs::temp_directory_path() / ("qv-" + name + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            failed_ = true;
            return;
        }
        folder_ = pattern;
        ::setenv("QV_HOME", pattern.c_str(), 1);
    }
    ~TemporaryHome() {
        // Children forked by a test share this object; only the process that made the
        // folder removes it.
        if (folder_ && ::getpid() == owner_) {
            std::error_code ignored;
            fs::remove_all(*folder_, ignored);
        }
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    bool failed() const { return failed_; }

private:
    bool failed_ = false;
    std::optional<fs::path> folder_;
    pid_t owner_ = ::getpid();
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const TemporaryHome home(argc > 0 ? argv[0] : nullptr);
    if (home.failed()) {
        std::fprintf(stderr, "No QV_HOME is set and no temporary one could be made in %s\n",
                     fs::temp_directory_path().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
