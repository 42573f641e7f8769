#include "platform/dispatch/ProcessorBudget.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <vector>

namespace qv::platform {

namespace {

constexpr std::size_t mostThreads = 1024;

std::optional<std::string> readSmallFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<std::int64_t> wholeNumber(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A whole number alone in a file; 0 when there is none.
std::int64_t wholeNumberInFile(const std::string& path) {
    const auto text = readSmallFile(path);
    return text ? wholeNumber(*text).value_or(0) : 0;
}

std::optional<double> quotaOfV1Group(const std::string& folder) {
    const std::int64_t quota = wholeNumberInFile(folder + "/cpu.cfs_quota_us"); // -1: none
    const std::int64_t period = wholeNumberInFile(folder + "/cpu.cfs_period_us");
    if (quota <= 0 || period <= 0) {
        return std::nullopt;
    }
    return double(quota) / double(period);
}

std::optional<double> quotaOfV2Group(const std::string& folder) {
    const auto text = readSmallFile(folder + "/cpu.max");
    return text ? cpuQuotaFromCpuMax(*text) : std::nullopt;
}

std::optional<double> tighter(std::optional<double> a, std::optional<double> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

// The tightest quota of `group` and its parents under each of `roots`.
template <class QuotaOf>
std::optional<double> tightestAlong(const std::vector<std::string>& roots, std::string group,
                                    QuotaOf&& quotaOf) {
    std::optional<double> tightest;
    for (;;) {
        for (const std::string& root : roots) {
            tightest = tighter(tightest, quotaOf(root + (group == "/" ? "" : group)));
        }
        if (group.empty() || group == "/") {
            return tightest;
        }
        const std::size_t slash = group.rfind('/');
        group = slash == 0 || slash == std::string::npos ? "/" : group.substr(0, slash);
    }
}

bool listsController(std::string_view controllers, std::string_view wanted) {
    while (!controllers.empty()) {
        const std::size_t comma = controllers.find(',');
        if (controllers.substr(0, comma) == wanted) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        controllers.remove_prefix(comma + 1);
    }
    return false;
}

std::size_t cpusInAffinityMask() {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (sched_getaffinity(0, sizeof mask, &mask) != 0) {
        return 1;
    }
    return std::size_t(std::max(1, CPU_COUNT(&mask)));
}

} // namespace

std::optional<double> cpuQuotaFromCpuMax(std::string_view text) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) {
        return std::nullopt;
    }
    const std::int64_t quota = wholeNumber(text.substr(0, space)).value_or(0);
    const std::int64_t period = wholeNumber(text.substr(space + 1)).value_or(0);
    if (quota <= 0 || period <= 0) {
        return std::nullopt;
    }
    return double(quota) / double(period);
}

std::optional<std::size_t> threadCountFromText(const char* text) {
    const std::int64_t value = text ? wholeNumber(text).value_or(0) : 0;
    if (value < 1 || value > std::int64_t(mostThreads)) {
        return std::nullopt;
    }
    return std::size_t(value);
}

std::optional<double> cgroupCpuQuota(const std::string& cgroupRoot,
                                     std::string_view procSelfCgroup) {
    std::optional<double> tightest;
    while (!procSelfCgroup.empty()) {
        const std::size_t end = procSelfCgroup.find('\n');
        const std::string_view line = procSelfCgroup.substr(0, end);
        procSelfCgroup.remove_prefix(end == std::string_view::npos ? procSelfCgroup.size()
                                                                   : end + 1);
        // "hierarchy:controllers:path"; v2 is hierarchy 0 with no controllers.
        const std::size_t first = line.find(':');
        const std::size_t second =
            first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            continue;
        }
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string group(line.substr(second + 1));
        if (controllers.empty()) {
            tightest = tighter(tightest, tightestAlong({cgroupRoot, cgroupRoot + "/unified"}, group,
                                                       quotaOfV2Group));
        } else if (listsController(controllers, "cpu")) {
            tightest =
                tighter(tightest, tightestAlong({cgroupRoot + "/cpu", cgroupRoot + "/cpu,cpuacct"},
                                                group, quotaOfV1Group));
        }
    }
    return tightest;
}

ProcessorLimits processorLimits() {
    ProcessorLimits limits;
    limits.affinityCpus = cpusInAffinityMask();
    if (const auto groups = readSmallFile("/proc/self/cgroup")) {
        limits.quotaCpus = cgroupCpuQuota("/sys/fs/cgroup", *groups);
    }
    const char* requested = std::getenv("QV_THREADS");
    limits.requested = threadCountFromText(requested);
    if (!limits.requested && requested != nullptr && *requested != '\0') {
        // Every pool asks when it starts: said once per value.
        printFailure("QV_THREADS", "QV_THREADS is ignored: " + quotedText(requested) +
                                       " is not a whole number from 1 to " +
                                       std::to_string(mostThreads));
    }
    return limits;
}

std::size_t processorBudget(const ProcessorLimits& limits) {
    if (limits.requested) {
        return *limits.requested;
    }
    std::size_t budget = std::max<std::size_t>(1, limits.affinityCpus);
    if (limits.quotaCpus) {
        budget =
            std::min(budget, std::max<std::size_t>(1, std::size_t(std::ceil(*limits.quotaCpus))));
    }
    return std::min(budget, mostThreads);
}

std::size_t processorBudget() {
    return processorBudget(processorLimits());
}

} // namespace qv::platform
