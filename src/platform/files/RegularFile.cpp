#include "platform/files/RegularFile.hpp"

#include "platform/files/FileDescriptor.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qv::platform {

namespace {

FileProblem failure(FileProblem::Kind kind, std::string reason) {
    return FileProblem{kind, std::move(reason)};
}

// The failure a test injects, set by the test's thread and read by whichever thread reads:
// the lock keeps a reader from using one that the test's thread is dropping.
struct InjectedFailure {
    std::mutex mutex;
    const ScopedReadFailure* current = nullptr;
};

InjectedFailure& injected() {
    static InjectedFailure failure;
    return failure;
}

FileProblem systemFailure(int error) {
    if (error == ENOENT || error == ENOTDIR) { // ENOTDIR: a folder on the way is a file
        return failure(FileProblem::Kind::missing, "does not exist");
    }
    const std::string reason = "cannot be read (" + std::string(std::strerror(error)) + ")";
    if (error == ELOOP) {
        // A symlink loop stays one: the name leads to no regular file, now or later.
        return failure(FileProblem::Kind::notRegular, reason);
    }
    return failure(isLastingError({error, std::generic_category()}) ? FileProblem::Kind::unreachable
                                                                    : FileProblem::Kind::unreadable,
                   reason);
}

FileIdentity identityOf(const struct stat& status) {
    return {status.st_dev, status.st_ino};
}

// The descriptor of `file` opened for reading, or -1 with errno set (also as a test injects).
int openForReading(const std::filesystem::path& file) {
    {
        InjectedFailure& injection = injected();
        std::lock_guard lock(injection.mutex);
        if (injection.current != nullptr && injection.current->covers(file)) {
            errno = injection.current->error();
            return -1;
        }
    }
    return ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "no regular file";
}

// What is wrong with a file of this status, if anything.
std::optional<FileProblem> checked(const struct stat& status, std::uintmax_t maximumBytes) {
    if (!S_ISREG(status.st_mode)) {
        return failure(FileProblem::Kind::notRegular,
                       "is " + kindOf(status.st_mode) + ", not a regular file");
    }
    if (std::uintmax_t(status.st_size) > maximumBytes) {
        const std::string bound = maximumBytes % (1 << 20) == 0
                                      ? std::to_string(maximumBytes >> 20) + " MB"
                                      : std::to_string(maximumBytes) + " bytes";
        return failure(FileProblem::Kind::tooLarge, "is larger than " + bound);
    }
    return std::nullopt;
}

template <typename Bytes>
std::optional<FileProblem> readInto(const std::filesystem::path& file, std::uintmax_t maximumBytes,
                                    Bytes& content, FileIdentity* judged) {
    content.clear();
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        return systemFailure(errno);
    }
    if (judged != nullptr) {
        *judged = identityOf(status);
    }
    if (auto problem = checked(status, maximumBytes)) {
        return problem;
    }
    const FileDescriptor fd(openForReading(file));
    if (fd.get() < 0) {
        return systemFailure(errno);
    }
    if (::fstat(fd.get(), &status) != 0) {
        return systemFailure(errno);
    }
    if (judged != nullptr) {
        *judged = identityOf(status);
    }
    if (auto problem = checked(status, maximumBytes)) {
        return problem;
    }
    content.resize(std::size_t(status.st_size));
    std::size_t filled = 0;
    while (filled < content.size()) {
        const ssize_t got = ::read(fd.get(), content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            content.clear();
            return systemFailure(error);
        }
        if (got == 0) {
            break;
        }
        filled += std::size_t(got);
    }
    content.resize(filled);
    return std::nullopt;
}

} // namespace

std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes, std::string& content,
                                           FileIdentity* judged) {
    return readInto(file, maximumBytes, content, judged);
}

std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes,
                                           std::vector<std::uint8_t>& content) {
    return readInto(file, maximumBytes, content, nullptr);
}

bool isLastingError(const std::error_code& error) {
    return error == std::errc::too_many_symbolic_link_levels ||
           error == std::errc::not_a_directory || error == std::errc::is_a_directory ||
           error == std::errc::filename_too_long;
}

ScopedReadFailure::ScopedReadFailure(std::filesystem::path file, int error)
    : file_(std::move(file)), error_(error) {
    InjectedFailure& injection = injected();
    std::lock_guard lock(injection.mutex);
    previous_ = std::exchange(injection.current, this);
}

ScopedReadFailure::~ScopedReadFailure() {
    InjectedFailure& injection = injected();
    std::lock_guard lock(injection.mutex);
    injection.current = previous_;
}

bool ScopedReadFailure::covers(const std::filesystem::path& file) const {
    return file == file_;
}

} // namespace qv::platform
