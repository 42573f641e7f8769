#include "AppProcess.hpp"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv::testing {

namespace {

void readAvailable(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        into.append(buffer, std::size_t(n));
    }
}

} // namespace

AppProcess::AppProcess(const std::vector<std::string>& arguments, const Variables& variables) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> argv = {QV_APP_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    Variables all = variables;
    // The sanitizers' options reach the app as they reach the test (a sanitized build's
    // suppressions among them).
    for (const char* name : {"PATH", "HOME", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name); value != nullptr && !all.contains(name)) {
            all[name] = value;
        }
    }
    std::vector<std::string> entries;
    for (const auto& [name, value] : all) {
        entries.push_back(name + "=" + value);
    }
    std::vector<char*> env;
    for (auto& e : entries) {
        env.push_back(e.data());
    }
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data()) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    output_ = out[0];
    error_ = err[0];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
    ::fcntl(error_, F_SETFL, O_NONBLOCK);
}

AppProcess::~AppProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {output_, error_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void AppProcess::signal(int number) const {
    if (pid_ > 0) {
        ::kill(pid_, number);
    }
}

AppExit AppProcess::wait(std::chrono::seconds limit) {
    AppExit exit;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        pollfd fds[2] = {{output_, POLLIN, 0}, {error_, POLLIN, 0}};
        ::poll(fds, 2, 50);
        readAvailable(output_, exit.standardOutput);
        readAvailable(error_, exit.standardError);
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else if (std::chrono::steady_clock::now() > end) {
            break;
        }
    }
    readAvailable(output_, exit.standardOutput);
    readAvailable(error_, exit.standardError);
    return exit;
}

AppExit runApp(const std::vector<std::string>& arguments, const Variables& variables) {
    AppProcess process(arguments, variables);
    return process.wait();
}

std::vector<std::string> filesUnder(const std::string& folder) {
    std::vector<std::string> files;
    if (!std::filesystem::exists(folder)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace qv::testing
