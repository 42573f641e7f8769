#include "platform/imaging/detail/RawDeveloperProcess.hpp"

#include "platform/console/ChildSignals.hpp"
#include "platform/files/FileDescriptor.hpp"
#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/detail/DevelopmentAnswer.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace qv::platform::imaging::detail {

namespace {

// Moves a descriptor above the standard ones (a caller may have closed them),
// close-on-exec so that children spawned by other threads do not inherit it.
FileDescriptor aboveStandard(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) {
        return FileDescriptor(fd);
    }
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return FileDescriptor(moved);
}

std::string systemError(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

// The file's bytes in an anonymous in-memory file, read from the start.
FileDescriptor memoryFileWith(FileBytes file) {
    FileDescriptor fd = aboveStandard(::memfd_create("qv-raw-file", MFD_CLOEXEC));
    std::size_t done = 0;
    while (fd && done < file.size()) {
        const ssize_t n = ::write(fd.get(), file.data() + done, file.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return FileDescriptor();
        }
        done += std::size_t(n);
    }
    if (fd && ::lseek(fd.get(), 0, SEEK_SET) != 0) {
        return FileDescriptor();
    }
    return fd;
}

// Reads exactly `size` bytes; false at the end of the output or on an error.
bool readExactly(int fd, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool atEnd(int fd) {
    char extra;
    ssize_t n;
    do {
        n = ::read(fd, &extra, 1);
    } while (n < 0 && errno == EINTR);
    return n == 0;
}

// The message that follows the header of a failed answer (at most 1000 bytes of it).
std::string failureMessage(int fd, std::uint32_t messageBytes) {
    std::string message(std::min<std::uint32_t>(messageBytes, 1000), '\0');
    if (!readExactly(fd, message.data(), message.size())) {
        return "a cut-off answer";
    }
    return message.empty() ? "an error without a message" : message;
}

// Reads the child's whole answer; the error names what was wrong with it.
Result<DevelopedSamples> readAnswer(int fd) {
    using R = Result<DevelopedSamples>;
    DevelopmentAnswer answer;
    if (!readExactly(fd, &answer, sizeof answer) ||
        answer.magic != DevelopmentAnswer::expectedMagic) {
        return R::failure("no answer");
    }
    if (answer.status != 0) {
        return R::failure(failureMessage(fd, answer.messageBytes));
    }
    if (answer.width == 0 || answer.height == 0 ||
        std::uint64_t(answer.width) * answer.height > maximumPixels) {
        return R::failure("an answer of " + std::to_string(answer.width) + " x " +
                          std::to_string(answer.height) + " pixels");
    }
    DevelopedSamples samples{answer.width, answer.height, {}};
    samples.rgb.resize(std::size_t(answer.width) * answer.height * 3);
    if (!readExactly(fd, samples.rgb.data(), samples.rgb.size() * 2)) {
        return R::failure("a cut-off answer");
    }
    if (!atEnd(fd)) {
        return R::failure("an answer longer than its picture");
    }
    return samples;
}

// Reads the child's whole mosaic answer; the error names what was wrong with it.
Result<UnpackedMosaic> readMosaicAnswer(int fd) {
    using R = Result<UnpackedMosaic>;
    UnpackedMosaic mosaic;
    MosaicAnswer& answer = mosaic.header;
    if (!readExactly(fd, &answer, sizeof answer) || answer.magic != MosaicAnswer::expectedMagic) {
        return R::failure("no answer");
    }
    if (answer.status != 0) {
        return R::failure(failureMessage(fd, answer.messageBytes));
    }
    if (answer.width < 2 || answer.height < 2 ||
        std::uint64_t(answer.width) * answer.height > maximumPixels ||
        std::any_of(std::begin(answer.pattern), std::end(answer.pattern),
                    [](std::uint8_t c) { return c > 2; })) {
        return R::failure("an answer of " + std::to_string(answer.width) + " x " +
                          std::to_string(answer.height) + " photosites");
    }
    mosaic.samples.resize(std::size_t(answer.width) * answer.height);
    if (!readExactly(fd, mosaic.samples.data(), mosaic.samples.size() * 2)) {
        return R::failure("a cut-off answer");
    }
    if (!atEnd(fd)) {
        return R::failure("an answer longer than its mosaic");
    }
    return mosaic;
}

// How the child ended, as a text; empty for a normal end, and for the end on a
// broken pipe that closing an unwanted answer early gives it.
std::string howItEnded(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return systemError("waitpid");
        }
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) {
        return {};
    }
    if (WIFSIGNALED(status)) {
        return "it stopped on signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        return "it ended with status " + std::to_string(WEXITSTATUS(status));
    }
    return {};
}

// The child starts with no blocked signals and the signal handling the app started with
// (ChildSignals.hpp), whatever this process has set up since; but SIGPIPE's default always,
// as an answer that is refused must end the child on the broken pipe (howItEnded).
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    SpawnSetup(int input, int output) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_init(&attributes);
        startWithInheritedSignals(attributes, {SIGPIPE});
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

const std::filesystem::path& rawDeveloperProgram() {
    static const std::filesystem::path program(QV_RAW_DEVELOPER);
    return program;
}

namespace {

// Runs `program` with `option` (none when null) on the file and reads its answer with
// `read`; the error names what went wrong on either side.
template <class T, class Read>
Result<T> runDeveloper(const std::filesystem::path& program, FileBytes file, const char* option,
                       Read read) {
    using R = Result<T>;
    const FileDescriptor input = memoryFileWith(file);
    if (!input) {
        return R::failure(systemError("the file could not be handed to the developer"));
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return R::failure(systemError("pipe"));
    }
    FileDescriptor fromChild = aboveStandard(ends[0]);
    FileDescriptor toParent = aboveStandard(ends[1]);
    if (!fromChild || !toParent) {
        return R::failure(systemError("pipe"));
    }

    std::string path = program.string();
    std::string optionText = option != nullptr ? option : "";
    char* arguments[] = {path.data(), option != nullptr ? optionText.data() : nullptr, nullptr};
    pid_t child = 0;
    {
        const SpawnSetup setup(input.get(), toParent.get());
        const int spawned = ::posix_spawn(&child, path.c_str(), &setup.actions, &setup.attributes,
                                          arguments, environ);
        if (spawned != 0) {
            return R::failure("the developer " + path +
                              " could not start: " + std::strerror(spawned));
        }
    }
    // Only the child holds the writing end now, so its end is the end of the answer.
    toParent.close();
    Result<T> answer = read(fromChild.get());
    // A child still writing an answer that was refused ends on the broken pipe.
    fromChild.close();
    const std::string ended = howItEnded(child);
    if (!ended.empty()) {
        return R::failure("the developer failed on this file: " + ended);
    }
    return answer;
}

} // namespace

Result<DevelopedSamples> developInChildProcess(const std::filesystem::path& program, FileBytes file,
                                               bool halfSize) {
    return runDeveloper<DevelopedSamples>(program, file, halfSize ? halfSizeOption : nullptr,
                                          readAnswer);
}

Result<UnpackedMosaic> unpackMosaicInChildProcess(const std::filesystem::path& program,
                                                  FileBytes file) {
    return runDeveloper<UnpackedMosaic>(program, file, mosaicOption, readMosaicAnswer);
}

} // namespace qv::platform::imaging::detail
