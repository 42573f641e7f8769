#include "XvfbServer.hpp"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::testing {

namespace {

int spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

// Starts Xvfb with its display number written to `fd`. The server gets SIGTERM when the
// test process ends for any reason, a crash included, so none is left running.
//
// -noreset: by default an X server resets when its last client disconnects, and a reset
// closes every connection still in its setup. A test's clients come and go (`xdotool search`
// polling for a window while the app opens its display), so the app's connection could be
// dropped by the reset that `xdotool`'s exit started, and the app said that no X server
// answers on a display that had just been reported ready.
int spawnXvfb(int fd, int depth, const std::string& authority) {
    const std::string fdText = std::to_string(fd);
    const std::string screen = "1280x2048x" + std::to_string(depth);
    std::vector<const char*> argv = {"Xvfb",         "-displayfd", fdText.c_str(), "-screen", "0",
                                     screen.c_str(), "-nolisten",  "tcp",          "-noreset"};
    if (!authority.empty()) {
        argv.insert(argv.end(), {"-auth", authority.c_str()});
    }
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    // The child: only async-signal-safe calls until exec. The server must take SIGTERM even
    // when the test blocked it for itself (the app's quit signals).
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) {
        _exit(127);
    }
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
}

// Writes an authority file of one cookie for every display, random, that no client is given;
// answers its path, or empty.
std::string writeUnknownCookie() {
    char path[] = "/tmp/qv-xvfb-cookie-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        return {};
    }
    // An Xauthority entry: family, address, display number, name, data, each but the family
    // a big-endian 16-bit length and its bytes. FamilyWild (0xffff) matches every address.
    std::string entry = {'\xff', '\xff', 0, 0, 0, 0};
    const std::string name = "MIT-MAGIC-COOKIE-1";
    entry += {0, static_cast<char>(name.size())};
    entry += name;
    entry += {0, 16};
    std::random_device random;
    for (int i = 0; i < 16; ++i) {
        entry += static_cast<char>(random());
    }
    const bool written = write(fd, entry.data(), entry.size()) == ssize_t(entry.size());
    close(fd);
    if (!written) {
        unlink(path);
        return {};
    }
    return path;
}

} // namespace

XvfbServer::XvfbServer(int depth, XvfbClients clients) {
    if (clients == XvfbClients::noneLetIn) {
        authority_ = writeUnknownCookie();
        if (authority_.empty()) {
            error_ = "cannot write the cookie file";
            return;
        }
    }
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "pipe failed";
        return;
    }
    // Xvfb picks a free display number itself and writes it to the pipe; it keeps only the
    // writing end.
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    pid_ = spawnXvfb(fds[1], depth, authority_);
    close(fds[1]);
    if (pid_ <= 0) {
        error_ = "cannot start Xvfb";
        close(fds[0]);
        return;
    }
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&pfd, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not report its display";
        return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (!authority_.empty()) {
        unlink(authority_.c_str());
    }
}

int runProgram(const std::vector<std::string>& argv) {
    const int pid = spawn(argv);
    if (pid <= 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace qv::testing
