#include "platform/dispatch/ProcessorBudget.hpp"

#include "platform/console/Console.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sched.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

// A folder laid out like /sys/fs/cgroup, removed at the end.
class FakeCgroups {
public:
    FakeCgroups() {
        std::string pattern = (fs::temp_directory_path() / "qv-cgroup-XXXXXX").string();
        root = mkdtemp(pattern.data());
    }
    ~FakeCgroups() { fs::remove_all(root); }
    void write(const std::string& path, const std::string& text) const {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        std::ofstream(root + "/" + path) << text;
    }
    std::string root;
};

// Sets or clears QV_THREADS for one test.
class ThreadsVariable {
public:
    ThreadsVariable() {
        if (const char* old = std::getenv("QV_THREADS")) {
            saved = old;
        }
    }
    ~ThreadsVariable() { saved ? setenv("QV_THREADS", saved->c_str(), 1) : unsetenv("QV_THREADS"); }
    void set(const char* text) const {
        text ? setenv("QV_THREADS", text, 1) : unsetenv("QV_THREADS");
    }

private:
    std::optional<std::string> saved;
};

TEST(ProcessorBudget, TheTightestQuotaOfTheGroupAndItsParentsCounts) {
    FakeCgroups v2;
    v2.write("cpu.max", "max 100000\n");
    v2.write("app/cpu.max", "300000 100000\n");
    v2.write("app/run/cpu.max", "150000 100000\n");
    EXPECT_EQ(cgroupCpuQuota(v2.root, "0::/app/run\n"), 1.5);
    EXPECT_EQ(cgroupCpuQuota(v2.root, "0::/app\n"), 3.0);
    EXPECT_EQ(cgroupCpuQuota(v2.root, "0::/\n"), std::nullopt);

    // cgroup v1 beside v2 (a hybrid host), under the combined controller folder.
    FakeCgroups v1;
    v1.write("cpu,cpuacct/box/cpu.cfs_quota_us", "200000\n");
    v1.write("cpu,cpuacct/box/cpu.cfs_period_us", "100000\n");
    v1.write("cpu,cpuacct/cpu.cfs_quota_us", "-1\n");
    v1.write("cpu,cpuacct/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(cgroupCpuQuota(v1.root, "4:memory:/box\n1:cpu,cpuacct:/box\n0::/\n"), 2.0);
    EXPECT_EQ(cgroupCpuQuota(v1.root, "4:memory:/box\n"), std::nullopt);
    EXPECT_EQ(cgroupCpuQuota(v1.root, "not a cgroup line"), std::nullopt);
}

TEST(ProcessorBudget, QuotaTextsOutsideTheFormatMeanNoQuota) {
    EXPECT_EQ(cpuQuotaFromCpuMax("50000 100000"), 0.5);
    for (const char* text :
         {"max 100000", "", "100000", "0 100000", "-5 100000", "1e5 100000", "100000 0"}) {
        EXPECT_EQ(cpuQuotaFromCpuMax(text), std::nullopt) << text;
    }
    EXPECT_EQ(threadCountFromText("3"), 3u);
    EXPECT_EQ(threadCountFromText("1024"), 1024u);
    for (const char* text : {"0", "-2", "1025", "two", "3x", "", "99999999999999999999"}) {
        EXPECT_EQ(threadCountFromText(text), std::nullopt) << text;
    }
    EXPECT_EQ(threadCountFromText(nullptr), std::nullopt);
}

TEST(ProcessorBudget, TheMaskAndTheQuotaBoundTheBudgetUnlessQvThreadsSaysOtherwise) {
    EXPECT_EQ(processorBudget({8, std::nullopt, std::nullopt}), 8u);
    EXPECT_EQ(processorBudget({8, 1.5, std::nullopt}), 2u);
    EXPECT_EQ(processorBudget({8, 0.1, std::nullopt}), 1u);
    EXPECT_EQ(processorBudget({2, 6.0, std::nullopt}), 2u);
    EXPECT_EQ(processorBudget({2, 6.0, 5}), 5u);
}

TEST(ProcessorBudget, AVariableThatIsNoPositiveCountIsIgnoredWithOneLinePerValue) {
    ThreadsVariable variable;
    for (const std::string text : {"0", "-1", "99999999999999999999", "abc"}) {
        variable.set(text.c_str());
        ConsoleCapture console;
        const std::size_t budget = processorBudget();
        EXPECT_EQ(processorBudget(), budget); // every pool asks; the line comes once
        EXPECT_EQ(console.text(),
                  "QV_THREADS is ignored: '" + text + "' is not a whole number from 1 to 1024\n");
    }
    variable.set("");
    ConsoleCapture console;
    processorBudget();
    EXPECT_EQ(console.text(), "");
}

TEST(ProcessorBudget, FollowsTheThreadsAffinityMaskAndTheVariable) {
    ThreadsVariable variable;
    variable.set(nullptr);
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int first = 0;
    while (!CPU_ISSET(first, &all)) {
        ++first;
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const std::size_t pinned = processorBudget();
    variable.set("5");
    const std::size_t requested = processorBudget();
    variable.set("lots");
    const std::size_t ignored = processorBudget();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);

    EXPECT_EQ(pinned, 1u);
    EXPECT_EQ(requested, 5u);
    EXPECT_EQ(ignored, 1u);
}

} // namespace
} // namespace qv::platform
