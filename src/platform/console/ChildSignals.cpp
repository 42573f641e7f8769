#include "platform/console/ChildSignals.hpp"

#include <mutex>

namespace qv::platform {

namespace {

// Written once under the flag, read only after it: the flag orders the two.
std::once_flag recorded;
sigset_t ignoredAtStart;

} // namespace

void recordSignalsIgnoredAtStart() {
    std::call_once(recorded, [] {
        sigemptyset(&ignoredAtStart);
        for (int signal = 1; signal < NSIG; ++signal) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
                sigaddset(&ignoredAtStart, signal);
            }
        }
    });
}

const sigset_t& signalsIgnoredAtStart() {
    recordSignalsIgnoredAtStart();
    return ignoredAtStart;
}

void startWithInheritedSignals(posix_spawnattr_t& attributes) {
    sigset_t none;
    sigemptyset(&none);
    sigset_t toDefault;
    sigfillset(&toDefault);
    const sigset_t& ignored = signalsIgnoredAtStart();
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&ignored, signal) == 1) {
            sigdelset(&toDefault, signal);
        }
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &toDefault);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

} // namespace qv::platform
