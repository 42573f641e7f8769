#include "platform/photos/detail/JournalFiles.hpp"

#include "platform/files/FileDescriptor.hpp"
#include "platform/files/Folder.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform::detail {

namespace {

// Atomic: the library's queue reads it, on whichever thread runs the queue.
std::atomic<const ScopedJournalModeStep::Step*> modeStep{nullptr};

// Gives the journal `name`, in the folder `folder`, the mode `mode`, when it is a regular file
// of this user whose only name is that one and which cannot be written.
void giveMode(const Folder& folder, const std::string& name, mode_t mode) {
    std::error_code error;
    const FileDescriptor journal = folder.openFile(name, O_RDONLY, error);
    struct stat status {};
    if (error || ::fstat(journal.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid() || status.st_nlink != 1 || (status.st_mode & S_IWUSR) != 0) {
        return;
    }
    ::fchmod(journal.get(), mode);
}

} // namespace

std::vector<std::filesystem::path> journalFiles(const std::filesystem::path& file) {
    std::vector<std::filesystem::path> there;
    for (const char* journal : {"-wal", "-shm"}) {
        std::filesystem::path each = file;
        each += journal;
        struct stat status {};
        if (::lstat(each.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            there.push_back(std::move(each));
        }
    }
    return there;
}

bool ownUnwritable(const std::filesystem::path& journal) {
    struct stat status {};
    return ::faccessat(AT_FDCWD, journal.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES &&
           ::lstat(journal.c_str(), &status) == 0 && status.st_uid == ::geteuid();
}

void giveJournalFilesTheIndexMode(const std::filesystem::path& file) {
    std::error_code error;
    const Folder folder = Folder::open(file.parent_path(), error);
    const std::optional<struct stat> index = folder.statusOf(file.filename().native(), error);
    if (!index) {
        return;
    }
    for (const std::filesystem::path& journal : journalFiles(file)) {
        if (!ownUnwritable(journal)) {
            continue;
        }
        if (const ScopedJournalModeStep::Step* step = modeStep.load()) {
            (*step)(journal);
        }
        giveMode(folder, journal.filename(), index->st_mode & 07777);
    }
}

ScopedJournalModeStep::ScopedJournalModeStep(Step step)
    : step_(std::move(step)), previous_(modeStep.exchange(&step_)) {}

ScopedJournalModeStep::~ScopedJournalModeStep() {
    modeStep.store(previous_);
}

} // namespace qv::platform::detail
