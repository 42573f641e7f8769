#include "platform/console/ChildSignals.hpp"

#include <mutex>

namespace qv::platform {

namespace {

// Written once under the flag, read only after it: the flag orders the two.
std::once_flag recorded;
// Every signal but those ignored at start: the ones a child gets the default handling of.
sigset_t notIgnoredAtStart;

} // namespace

void recordSignalsIgnoredAtStart() {
    std::call_once(recorded, [] {
        sigfillset(&notIgnoredAtStart);
        for (int signal = 1; signal < NSIG; ++signal) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
                sigdelset(&notIgnoredAtStart, signal);
            }
        }
    });
}

void startWithInheritedSignals(posix_spawnattr_t& attributes,
                               std::initializer_list<int> alwaysDefault) {
    recordSignalsIgnoredAtStart();
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t toDefault = notIgnoredAtStart;
    for (const int signal : alwaysDefault) {
        sigaddset(&toDefault, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &toDefault);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

} // namespace qv::platform
