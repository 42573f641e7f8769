#pragma once
// Other processes and the file permissions an ordinary user has, for tests of files that
// several processes share.

#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace qv::testing {

// A process id that names no process: a child's that has ended and been reaped.
pid_t goneProcessId();

// A forked child of the test. It runs `body`, whose result is its exit status; it ends with
// _exit, so nothing of the test's process is torn down twice. A child cannot report a test
// failure: `body` returns non-zero instead. Fork only where no other thread of the test holds
// a lock the child needs (under VirtualDispatch queues have no threads).
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int(ChildProcess&)>& body);
    // Kills (SIGKILL) and reaps a child still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // In the child: tells the test it is ready, then waits until the test lets it go on.
    void readyAndWait();
    // In the test: waits until the child is ready; false when it ended first.
    bool waitUntilReady();
    // In the test: lets the child go on.
    void letGo();
    // In the test: lets the child go on and waits for its end. Its exit status, or 128 + the
    // signal that ended it.
    int finish();

private:
    pid_t pid_ = -1;
    int ready_[2] = {-1, -1}; // child to test
    int goOn_[2] = {-1, -1};  // test to child
};

// Waits until every child is ready (readyAndWait), lets them all go at once and waits for their
// ends: their exit statuses, in order (a child that ended before it was ready gives its own).
std::vector<int> runTogether(const std::vector<std::unique_ptr<ChildProcess>>& children);

// While it lives, the calling thread is held to the files' permission bits: as root it gives
// up overriding them (CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH leave its effective set, and
// come back at the end), so a file of mode 0444 or a folder of mode 0555 that the test made
// cannot be written, as for the ordinary user who owns them. Nothing to do for that user.
class ScopedPermissionBits {
public:
    ScopedPermissionBits();
    ~ScopedPermissionBits();
    ScopedPermissionBits(const ScopedPermissionBits&) = delete;
    ScopedPermissionBits& operator=(const ScopedPermissionBits&) = delete;

private:
    bool dropped_ = false;
};

} // namespace qv::testing
