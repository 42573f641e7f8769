#include "ProcessTestSupport.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <linux/capability.h>
#include <mutex>
#include <set>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::testing {

namespace {

// The test's ends of the pipes of every child still running. A child forked later inherits
// them and closes them at once: a sibling holding an earlier child's "go on" end open would
// keep that child waiting until the sibling ends, so children meant to run side by side would
// run one after another.
std::mutex testEndsMutex;
std::set<int> testEnds;

void closeFd(int& fd) {
    if (fd >= 0) {
        {
            const std::lock_guard lock(testEndsMutex);
            testEnds.erase(fd);
        }
        ::close(fd);
        fd = -1;
    }
}

struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0}; // 0: the calling thread
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};

    bool get() { return ::syscall(SYS_capget, &header, data) == 0; }
    // Set on the calling thread only (the raw call; libc's would not be per thread either).
    bool set() { return ::syscall(SYS_capset, &header, data) == 0; }
};

constexpr std::uint32_t overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

} // namespace

pid_t goneProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

ChildProcess::ChildProcess(const std::function<int(ChildProcess&)>& body) {
    if (::pipe2(ready_, O_CLOEXEC) != 0 || ::pipe2(goOn_, O_CLOEXEC) != 0) {
        return;
    }
    std::set<int> earlierChildren;
    {
        const std::lock_guard lock(testEndsMutex);
        earlierChildren = testEnds;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        for (const int fd : earlierChildren) {
            ::close(fd);
        }
        {
            const std::lock_guard lock(testEndsMutex);
            testEnds.clear();
        }
        closeFd(ready_[0]);
        closeFd(goOn_[1]);
        ::_exit(body(*this));
    }
    closeFd(ready_[1]);
    closeFd(goOn_[0]);
    const std::lock_guard lock(testEndsMutex);
    testEnds.insert(ready_[0]);
    testEnds.insert(goOn_[1]);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    for (int* fd : {&ready_[0], &ready_[1], &goOn_[0], &goOn_[1]}) {
        closeFd(*fd);
    }
}

void ChildProcess::readyAndWait() {
    const char byte = 1;
    if (::write(ready_[1], &byte, 1) == 1) {
        char ignored = 0;
        while (::read(goOn_[0], &ignored, 1) < 0 && errno == EINTR) {
        }
    }
}

bool ChildProcess::waitUntilReady() {
    char byte = 0;
    ssize_t got = 0;
    while ((got = ::read(ready_[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    return got == 1;
}

void ChildProcess::letGo() {
    closeFd(goOn_[1]); // the child's read ends
}

int ChildProcess::finish() {
    letGo();
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<int> runTogether(const std::vector<std::unique_ptr<ChildProcess>>& children) {
    for (const auto& child : children) {
        child->waitUntilReady();
    }
    for (const auto& child : children) {
        child->letGo();
    }
    std::vector<int> statuses;
    for (const auto& child : children) {
        statuses.push_back(child->finish());
    }
    return statuses;
}

ScopedPermissionBits::ScopedPermissionBits() {
    Capabilities capabilities;
    if (::geteuid() == 0 && capabilities.get() && (capabilities.data[0].effective & overrides)) {
        capabilities.data[0].effective &= ~overrides;
        dropped_ = capabilities.set();
    }
}

ScopedPermissionBits::~ScopedPermissionBits() {
    Capabilities capabilities;
    if (dropped_ && capabilities.get()) {
        capabilities.data[0].effective |= overrides & capabilities.data[0].permitted;
        capabilities.set();
    }
}

} // namespace qv::testing
