#include "platform/system/ProgramRunner.hpp"

#include "platform/console/ChildSignals.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <variant>

extern char** environ;

namespace qv::platform {

namespace {

// The attributes and file actions of one spawn, released with it.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
        // Whatever threads of this process (SDL's among them) have set up.
        startWithInheritedSignals(attributes_);
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void sendOutputTo(int fd) { posix_spawn_file_actions_adddup2(&actions_, fd, STDOUT_FILENO); }

    // Starts the program; the child's pid, or the outcome of a failed start.
    std::variant<pid_t, ProgramOutcome> spawn(const std::vector<std::string>& arguments) {
        if (arguments.empty()) {
            return ProgramOutcome::notStarted("no program given");
        }
        const std::optional<std::filesystem::path> program = findProgram(arguments[0]);
        if (!program) {
            return ProgramOutcome::notStarted(arguments[0] + " was not found");
        }
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int error =
            posix_spawn(&pid, program->c_str(), &actions_, &attributes_, argv.data(), environ);
        if (error != 0) {
            return ProgramOutcome::notStarted(std::strerror(error));
        }
        return pid;
    }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

ProgramOutcome reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return ProgramOutcome::notStarted(std::string("lost track of the program: ") +
                                              std::strerror(errno));
        }
    }
    ProgramOutcome outcome;
    if (WIFSIGNALED(status)) {
        outcome.kind = ProgramOutcome::Kind::signalled;
        outcome.status = WTERMSIG(status);
    } else {
        outcome.kind = ProgramOutcome::Kind::exited;
        outcome.status = WEXITSTATUS(status);
    }
    return outcome;
}

bool isExecutableFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Reads `fd` to its end, at most `limit` bytes, until `deadline`; false on timeout.
bool readAll(int fd, std::string& text, std::size_t limit,
             std::chrono::steady_clock::time_point deadline) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false; // the deadline passed, or polling failed: give up on the program
        }
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return true;
        }
        text.append(buffer, std::min(static_cast<std::size_t>(count), limit - text.size()));
    }
}

} // namespace

ProgramOutcome ProgramOutcome::notStarted(std::string why) {
    ProgramOutcome outcome;
    outcome.startError = std::move(why);
    return outcome;
}

std::string ProgramOutcome::description() const {
    switch (kind) {
    case Kind::exited:
        return "exited with status " + std::to_string(status);
    case Kind::signalled:
        return "ended by signal " + std::to_string(status);
    case Kind::notStarted:
        break;
    }
    return "could not start: " + startError;
}

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string::npos) {
        return isExecutableFile(name) ? std::optional<std::filesystem::path>(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty()) {
            continue;
        }
        std::filesystem::path candidate = std::filesystem::path(folder) / name;
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

ProgramOutcome runProgramAndWait(const std::vector<std::string>& arguments) {
    SpawnSetup setup;
    auto started = setup.spawn(arguments);
    if (auto* failed = std::get_if<ProgramOutcome>(&started)) {
        return std::move(*failed);
    }
    return reap(std::get<pid_t>(started));
}

std::optional<std::string> programOutput(const std::vector<std::string>& arguments) {
    constexpr std::size_t kLimit = 64 * 1024;
    // A real process runs in real time, also under a virtual clock: the guard reads the
    // system's steady clock, not the dispatch clock.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    SpawnSetup setup;
    setup.sendOutputTo(pipe[1]);
    auto started = setup.spawn(arguments);
    ::close(pipe[1]);
    if (std::holds_alternative<ProgramOutcome>(started)) {
        ::close(pipe[0]);
        return std::nullopt;
    }
    const pid_t pid = std::get<pid_t>(started);
    std::string text;
    const bool finished = readAll(pipe[0], text, kLimit, deadline);
    ::close(pipe[0]);
    if (!finished) {
        ::kill(pid, SIGKILL);
    }
    const ProgramOutcome outcome = reap(pid);
    if (!finished || !outcome.succeeded()) {
        return std::nullopt;
    }
    return text;
}

namespace detail {

void runOnOwnQueue(std::function<void()> block) {
    // The queue lives until its one block has run, and the block drops the last reference
    // to it (a queue may end from its own block).
    auto queue = std::make_shared<DispatchQueue>("program hand-off", QoS::utility);
    DispatchQueue* target = queue.get();
    target->async([queue = std::move(queue), block = std::move(block)]() mutable {
        block();
        queue.reset();
    });
}

} // namespace detail

void runProgram(std::vector<std::string> arguments,
                std::function<void(const ProgramOutcome&)> completion) {
    runOffMain<ProgramOutcome>(
        [arguments = std::move(arguments)] { return runProgramAndWait(arguments); },
        std::move(completion));
}

} // namespace qv::platform
