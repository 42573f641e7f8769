#include "platform/files/Folder.hpp"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace qv::platform {

namespace {

// Set by a test's thread, read by whichever thread acts on a folder.
std::atomic<const ScopedFolderSteps::Step*> stepObserver{nullptr};

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code errorOf(int result) {
    return result == 0 ? std::error_code{} : lastError();
}

// A name of one entry of the folder: never a path that leads out of it.
bool isEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::error_code notAnEntryName() {
    return std::make_error_code(std::errc::invalid_argument);
}

// Tells the test seam about one call on a name, before it and (when it goes) after it.
class Step {
public:
    Step(const Folder& folder, std::string_view name) : Step(folder, name, folder, {}) {}
    Step(const Folder& from, std::string_view name, const Folder& to, std::string_view newName)
        : observer_(stepObserver.load()), from_(from), name_(name), to_(to), newName_(newName) {
        tell(FolderStepMoment::before);
    }
    ~Step() { tell(FolderStepMoment::after); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    void tell(FolderStepMoment moment) const {
        if (observer_ == nullptr) {
            return;
        }
        (*observer_)(moment, from_.path(), name_);
        if (!newName_.empty()) {
            (*observer_)(moment, to_.path(), newName_);
        }
    }

    const ScopedFolderSteps::Step* observer_;
    const Folder& from_;
    std::string_view name_;
    const Folder& to_;
    std::string_view newName_;
};

} // namespace

Folder::Folder(FileDescriptor fd, std::filesystem::path path)
    : fd_(std::move(fd)), path_(std::move(path)) {}

Folder Folder::open(const std::filesystem::path& path, std::error_code& error) {
    const char* name = path.empty() ? "." : path.c_str();
    FileDescriptor fd(::open(name, O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC));
    if (!fd && errno == EACCES) {
        fd = FileDescriptor(::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    error = fd ? std::error_code{} : lastError();
    return fd ? Folder(std::move(fd), path) : Folder();
}

Folder Folder::folder(std::string_view name, std::error_code& error) const {
    if (!isEntryName(name)) {
        error = notAnEntryName();
        return {};
    }
    FileDescriptor fd(::openat(fd_.get(), std::string(name).c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    error = fd ? std::error_code{} : lastError();
    return fd ? Folder(std::move(fd), path_ / name) : Folder();
}

std::optional<FileIdentity> Folder::identity() const {
    struct stat status {};
    if (::fstat(fd_.get(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

std::optional<struct stat> Folder::statusOf(std::string_view name, std::error_code& error) const {
    if (!isEntryName(name)) {
        error = notAnEntryName();
        return std::nullopt;
    }
    struct stat status {};
    if (::fstatat(fd_.get(), std::string(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = lastError();
        return std::nullopt;
    }
    error.clear();
    return status;
}

bool Folder::names(std::string_view name, const Folder& folder) const {
    std::error_code error;
    const std::optional<struct stat> status = statusOf(name, error);
    const std::optional<FileIdentity> identity = folder.identity();
    return status && identity && FileIdentity{status->st_dev, status->st_ino} == *identity;
}

std::error_code Folder::makeFolder(std::string_view name, mode_t mode) const {
    if (!isEntryName(name)) {
        return notAnEntryName();
    }
    const Step step(*this, name);
    return errorOf(::mkdirat(fd_.get(), std::string(name).c_str(), mode));
}

FileDescriptor Folder::openFile(std::string_view name, int flags, std::error_code& error,
                                mode_t mode) const {
    if (!isEntryName(name)) {
        error = notAnEntryName();
        return {};
    }
    std::optional<Step> step; // only a call that may make the file is one
    if ((flags & O_CREAT) != 0) {
        step.emplace(*this, name);
    }
    FileDescriptor fd(::openat(fd_.get(), std::string(name).c_str(),
                               flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    step.reset();
    error = fd ? std::error_code{} : lastError();
    return fd;
}

std::error_code Folder::writeNewFile(std::string_view name, std::string_view text) const {
    std::error_code error;
    FileDescriptor fd = openFile(name, O_WRONLY | O_CREAT | O_EXCL, error);
    if (error) {
        return error;
    }
    while (!text.empty() && !error) {
        const ssize_t written = ::write(fd.get(), text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(std::size_t(written));
        } else if (written == 0 || errno != EINTR) {
            error = written == 0 ? std::make_error_code(std::errc::io_error) : lastError();
        }
    }
    if (const std::error_code closed = fd.close(); !error) {
        error = closed;
    }
    if (error) {
        remove(name);
    }
    return error;
}

std::optional<std::string> Folder::readSmallFile(std::string_view name, std::size_t limit) const {
    std::error_code error;
    const FileDescriptor fd = openFile(name, O_RDONLY, error);
    struct stat status {};
    if (error || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::string text(limit + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t read = ::read(fd.get(), text.data() + got, text.size() - got);
        if (read == 0) {
            break;
        }
        if (read < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        got += std::size_t(read);
    }
    if (got > limit) {
        return std::nullopt;
    }
    text.resize(got);
    return text;
}

std::error_code Folder::remove(std::string_view name) const {
    if (!isEntryName(name)) {
        return notAnEntryName();
    }
    const Step step(*this, name);
    return errorOf(::unlinkat(fd_.get(), std::string(name).c_str(), 0));
}

std::error_code Folder::removeFolder(std::string_view name) const {
    if (!isEntryName(name)) {
        return notAnEntryName();
    }
    const Step step(*this, name);
    return errorOf(::unlinkat(fd_.get(), std::string(name).c_str(), AT_REMOVEDIR));
}

std::error_code Folder::sync() const {
    return errorOf(::fsync(fd_.get()));
}

std::error_code Folder::link(std::string_view name, const Folder& to,
                             std::string_view newName) const {
    if (!isEntryName(name) || !isEntryName(newName)) {
        return notAnEntryName();
    }
    const Step step(to, newName);
    return errorOf(::linkat(fd_.get(), std::string(name).c_str(), to.fd_.get(),
                            std::string(newName).c_str(), 0));
}

std::error_code Folder::makeLink(std::string_view name, const std::filesystem::path& target) const {
    if (!isEntryName(name)) {
        return notAnEntryName();
    }
    const Step step(*this, name);
    return errorOf(::symlinkat(target.c_str(), fd_.get(), std::string(name).c_str()));
}

std::error_code Folder::move(std::string_view name, const Folder& to,
                             std::string_view newName) const {
    if (!isEntryName(name) || !isEntryName(newName)) {
        return notAnEntryName();
    }
    const Step step(*this, name, to, newName);
    return errorOf(::renameat(fd_.get(), std::string(name).c_str(), to.fd_.get(),
                              std::string(newName).c_str()));
}

std::error_code Folder::moveWithoutReplacing(std::string_view name, const Folder& to,
                                             std::string_view newName) const {
    if (!isEntryName(name) || !isEntryName(newName)) {
        return notAnEntryName();
    }
    const std::string from(name);
    const std::string target(newName);
    const Step step(*this, name, to, newName);
    if (::renameat2(fd_.get(), from.c_str(), to.fd_.get(), target.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return lastError();
    }
    struct stat status {};
    if (::fstatat(fd_.get(), from.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return lastError();
    }
    if (S_ISDIR(status.st_mode)) {
        // Folders cannot be linked. rename() never replaces a folder that is not empty, and
        // whatever else is at the new name is looked for first.
        struct stat there {};
        if (::fstatat(to.fd_.get(), target.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
            return std::make_error_code(std::errc::file_exists);
        }
        return errorOf(::renameat(fd_.get(), from.c_str(), to.fd_.get(), target.c_str()));
    }
    // link() fails rather than replace; without AT_SYMLINK_FOLLOW a link is linked itself.
    if (::linkat(fd_.get(), from.c_str(), to.fd_.get(), target.c_str(), 0) != 0) {
        return lastError();
    }
    if (::unlinkat(fd_.get(), from.c_str(), 0) != 0) {
        const std::error_code error = lastError();
        ::unlinkat(to.fd_.get(), target.c_str(), 0);
        return error;
    }
    return {};
}

std::vector<std::string> Folder::entries(std::error_code& error) const {
    std::vector<std::string> names;
    // A descriptor of its own: closedir() closes it, and its position is not this one's.
    const int own = ::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = own >= 0 ? ::fdopendir(own) : nullptr;
    if (listing == nullptr) {
        error = lastError();
        if (own >= 0) {
            ::close(own);
        }
        return names;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
        errno = 0;
    }
    error = errno == 0 ? std::error_code{} : lastError();
    ::closedir(listing);
    return names;
}

ScopedFolderSteps::ScopedFolderSteps(Step step)
    : step_(std::move(step)), previous_(stepObserver.exchange(&step_)) {}

ScopedFolderSteps::~ScopedFolderSteps() {
    stepObserver.store(previous_);
}

} // namespace qv::platform
