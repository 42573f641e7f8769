#pragma once

#include "platform/media/RgbaImage.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <time.h>
#include <vector>

// What the benchmarks share: timing a candidate against its reference in
// interleaved repetitions, the second run pinned to two CPUs, the machine's
// load, and the process's resident memory.
namespace qv::bench {

// One candidate and the reference it is measured against in the same run.
struct Contender {
    std::function<void()> ours;
    std::function<void()> reference;
};

// Medians, in seconds.
struct Timing {
    double ours;
    double reference;
    double ratio() const { return ours / reference; }
};

// Runs every contender `warmUps` times untimed, then `repetitions` rounds in
// which each contender's two sides run back to back (which goes first
// alternates from round to round); each figure is the median of its rounds.
std::vector<Timing> timeInterleaved(const std::vector<Contender>& contenders, int repetitions,
                                    int warmUps = 2);

// "8 CPUs in the affinity mask, 8 threads, load average 3.1 2.5 1.9".
std::string machineLine();

// True in the copy of the program that runPinnedCopy starts.
bool isPinnedCopy(int argc, char** argv);
// Runs this program again with the same arguments, pinned to the first two
// CPUs of the current affinity mask, and waits for it; its exit status.
int runPinnedCopy(int argc, char** argv);

// The process's resident memory now, and its peak since the last reset
// (Linux's VmHWM, reset through /proc/self/clear_refs).
std::size_t residentBytes();
std::size_t peakResidentBytes();
void resetPeakResident();
// The part of the resident memory that maps files: the code and data of the
// program and its libraries, resident once first touched.
std::size_t fileResidentBytes();

// The CPU time of `clock` in seconds: CLOCK_PROCESS_CPUTIME_ID for every thread of the
// process, a thread's clock for that thread alone.
double cpuSeconds(clockid_t clock);

// An 8-bit picture of `width` x `height` with gradients in every channel (a merged result
// as the screens show it).
std::shared_ptr<const platform::RgbaImage> gradientPicture(std::size_t width, std::size_t height);

} // namespace qv::bench
