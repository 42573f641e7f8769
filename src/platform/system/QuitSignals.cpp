#include "platform/system/QuitSignals.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace qv::platform {

struct QuitSignals::Watcher {
    int signals = -1; // signalfd of the quit signals
    int stop = -1;    // eventfd: written once to end the thread
    std::thread thread;

    ~Watcher() {
        if (thread.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(stop, &one, sizeof one);
            thread.join();
        }
        if (signals >= 0) {
            ::close(signals);
        }
        if (stop >= 0) {
            ::close(stop);
        }
    }

    void run(const std::function<void(int)>& onQuit) const {
        pollfd fds[2] = {{signals, POLLIN, 0}, {stop, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return;
            }
            signalfd_siginfo info{};
            if ((fds[0].revents & POLLIN) != 0 &&
                ::read(signals, &info, sizeof info) == ssize_t(sizeof info)) {
                onQuit(int(info.ssi_signo));
            }
        }
    }
};

namespace {

// The quit signals not ignored as the watch starts (the app's start). One ignored then
// (SIGHUP under nohup, SIGINT in a shell's background job) is the user's choice: it stays
// ignored, and is neither blocked nor read, since Linux keeps a blocked signal pending even
// while its disposition is to ignore it, and the signalfd would then hand it over.
sigset_t quitSignalsNotIgnored() {
    sigset_t quit;
    sigemptyset(&quit);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_IGN) {
            sigaddset(&quit, signal);
        }
    }
    return quit;
}

} // namespace

std::unique_ptr<QuitSignals> QuitSignals::watch(std::function<void(int)> onQuit,
                                                std::string& error) {
    const sigset_t quit = quitSignalsNotIgnored();
    if (const int failed = pthread_sigmask(SIG_BLOCK, &quit, nullptr); failed != 0) {
        error = std::string("cannot block SIGINT, SIGTERM and SIGHUP: ") + std::strerror(failed);
        return nullptr;
    }
    auto watcher = std::make_unique<Watcher>();
    watcher->signals = ::signalfd(-1, &quit, SFD_CLOEXEC);
    watcher->stop = ::eventfd(0, EFD_CLOEXEC);
    if (watcher->signals < 0 || watcher->stop < 0) {
        error = std::string("cannot watch SIGINT, SIGTERM and SIGHUP: ") + std::strerror(errno);
        return nullptr;
    }
    const Watcher& running = *watcher;
    watcher->thread = std::thread([&running, onQuit = std::move(onQuit)] { running.run(onQuit); });
    return std::unique_ptr<QuitSignals>(new QuitSignals(std::move(watcher)));
}

QuitSignals::QuitSignals(std::unique_ptr<Watcher> watcher) : watcher_(std::move(watcher)) {}

QuitSignals::~QuitSignals() = default;

} // namespace qv::platform
