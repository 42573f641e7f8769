#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// How many threads a pool that keeps every core busy should run:
//  - QV_THREADS decides alone when it holds a whole number from 1 to 1024
//    (any other text is ignored, with one line per value: "QV_THREADS is
//    ignored: '0' is not a whole number from 1 to 1024"; empty counts as unset);
//  - else the CPUs in the process's affinity mask (as `taskset` sets it),
//    lowered to its control group's CPU quota rounded up (cgroup v2
//    `cpu.max`, or v1 `cpu.cfs_quota_us` over `cpu.cfs_period_us`; the
//    tightest of the group and its parents), and at least 1.
// Read afresh on every call; a pool asks once, when it starts.
std::size_t processorBudget();

// What the budget is made of, as read now.
struct ProcessorLimits {
    std::size_t affinityCpus = 1;         // CPUs in the affinity mask
    std::optional<double> quotaCpus;      // the quota in CPUs; none when unlimited
    std::optional<std::size_t> requested; // QV_THREADS
};
ProcessorLimits processorLimits();
std::size_t processorBudget(const ProcessorLimits& limits);

// The tightest CPU quota along the process's control group, read from the
// cgroup folders under `cgroupRoot` (v2 at the root or in `unified/`, v1 in
// `cpu/` or `cpu,cpuacct/`) for the groups that `procSelfCgroup` (the text
// of /proc/self/cgroup) names. None when no group sets one.
std::optional<double> cgroupCpuQuota(const std::string& cgroupRoot,
                                     std::string_view procSelfCgroup);

// The quota of one cgroup v2 `cpu.max` text ("150000 100000" is 1.5 CPUs);
// none for "max ..." or anything unreadable.
std::optional<double> cpuQuotaFromCpuMax(std::string_view text);

// A QV_THREADS value: a whole number from 1 to 1024, else none.
std::optional<std::size_t> threadCountFromText(const char* text);

} // namespace qv::platform
