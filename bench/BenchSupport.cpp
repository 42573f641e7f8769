#include "BenchSupport.hpp"

#include "platform/dispatch/ProcessorBudget.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::bench {

namespace {

constexpr const char* pinnedFlag = "--pinned-copy";

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::size_t statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) {
            return std::stoul(line.substr(length));
        }
    }
    return 0;
}

} // namespace

std::vector<Timing> timeInterleaved(const std::vector<Contender>& contenders, int repetitions,
                                    int warmUps) {
    for (int i = 0; i < warmUps; ++i) {
        for (const Contender& c : contenders) {
            c.ours();
            c.reference();
        }
    }
    std::vector<std::vector<double>> ours(contenders.size()), reference(contenders.size());
    for (int round = 0; round < repetitions; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            if (round % 2 == 0) {
                ours[i].push_back(secondsOf(contenders[i].ours));
                reference[i].push_back(secondsOf(contenders[i].reference));
            } else {
                reference[i].push_back(secondsOf(contenders[i].reference));
                ours[i].push_back(secondsOf(contenders[i].ours));
            }
        }
    }
    std::vector<Timing> timings;
    for (std::size_t i = 0; i < contenders.size(); ++i) {
        timings.push_back({median(ours[i]), median(reference[i])});
    }
    return timings;
}

std::string machineLine() {
    const auto limits = platform::processorLimits();
    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);
    std::istringstream fields(load);
    std::string one, five, fifteen;
    fields >> one >> five >> fifteen;
    std::ostringstream line;
    line << limits.affinityCpus << " CPUs in the affinity mask, "
         << platform::processorBudget(limits) << " threads, load average " << one << " " << five
         << " " << fifteen;
    return line.str();
}

bool isPinnedCopy(int argc, char** argv) {
    return std::any_of(argv + 1, argv + argc,
                       [](const char* a) { return !std::strcmp(a, pinnedFlag); });
}

int runPinnedCopy(int argc, char** argv) {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    sched_getaffinity(0, sizeof mask, &mask);
    cpu_set_t two;
    CPU_ZERO(&two);
    int taken = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE && taken < 2; ++cpu) {
        if (CPU_ISSET(cpu, &mask)) {
            CPU_SET(cpu, &two);
            ++taken;
        }
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        sched_setaffinity(0, sizeof two, &two);
        // The copy starts with no signal blocked, whatever this process blocked for itself
        // (the app takes SIGTERM through a signal descriptor).
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        std::vector<char*> arguments(argv, argv + argc);
        arguments.push_back(const_cast<char*>(pinnedFlag));
        arguments.push_back(nullptr);
        execv("/proc/self/exe", arguments.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

std::size_t residentBytes() {
    return statusKilobytes("VmRSS:") * 1024;
}

std::size_t fileResidentBytes() {
    return statusKilobytes("RssFile:") * 1024;
}

std::size_t peakResidentBytes() {
    return statusKilobytes("VmHWM:") * 1024;
}

void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::shared_ptr<const platform::RgbaImage> gradientPicture(std::size_t width, std::size_t height) {
    auto image = std::make_shared<platform::RgbaImage>(width, height, 8);
    for (std::size_t y = 0; y < image->height(); ++y) {
        auto row = image->row8(y);
        for (std::size_t x = 0; x < image->width(); ++x) {
            row[x * 4] = static_cast<std::uint8_t>(x);
            row[x * 4 + 1] = static_cast<std::uint8_t>(y);
            row[x * 4 + 2] = static_cast<std::uint8_t>(x + y);
            row[x * 4 + 3] = 255;
        }
    }
    return image;
}

} // namespace qv::bench
