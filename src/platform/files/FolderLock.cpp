#include "platform/files/FolderLock.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr const char* ownerRecord = "owner";
// How often a held lock folder is tried again.
constexpr std::chrono::milliseconds retryEvery{5};

std::filesystem::path recordIn(const std::filesystem::path& folder) {
    return folder / ownerRecord;
}

// A name beside `folder` no other breaker uses: this process's pid and a counter.
std::filesystem::path stashBeside(const std::filesystem::path& folder) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path stash = folder;
    stash += ".broken-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    return stash;
}

} // namespace

bool recordOwnerIn(const std::filesystem::path& folder) {
    return LockOwner::thisProcess().writeTo(recordIn(folder));
}

void removeOwnerRecordFrom(const std::filesystem::path& folder) {
    ::unlink(recordIn(folder).c_str());
}

LockFolderHolder holderOf(const std::filesystem::path& folder) {
    LockFolderHolder holder;
    struct stat status {};
    holder.there = ::lstat(folder.c_str(), &status) == 0;
    if (!holder.there) {
        return holder;
    }
    holder.owner = LockOwner::readFrom(recordIn(folder));
    if (holder.owner) {
        holder.state = stateOf(*holder.owner);
    }
    return holder;
}

bool breakIfOwnerGone(const std::filesystem::path& folder) {
    const std::optional<LockOwner> judged = LockOwner::readFrom(recordIn(folder));
    if (!judged || stateOf(*judged) != OwnerState::gone) {
        return false;
    }
    // Only one process can move the record out; a folder holds it only until then.
    const std::filesystem::path stash = stashBeside(folder);
    if (::rename(recordIn(folder).c_str(), stash.c_str()) != 0) {
        return false; // another breaker took it first, or the folder went
    }
    // The record judged (its token is of one taking) names a gone owner and was in one folder
    // only, which nothing else removes while it holds that record: the folder at the path is
    // the one judged.
    if (LockOwner::readFrom(stash) == judged && ::rmdir(folder.c_str()) == 0) {
        ::unlink(stash.c_str());
        return true;
    }
    // A record of a folder taken since (or a folder holding more than its record): back in
    // place, unless its owner has given the folder back meanwhile or another record is there.
    ::link(stash.c_str(), recordIn(folder).c_str());
    ::unlink(stash.c_str());
    return false;
}

std::string whyHeld(const std::filesystem::path& folder) {
    const LockFolderHolder holder = holderOf(folder);
    const std::string name = quotedPath(folder);
    if (!holder.there) {
        return name + " was held by another process until a moment ago";
    }
    if (!holder.owner) {
        return name + " names no owner (a process taking it now, or one of an earlier version; "
                      "remove it if no program uses it)";
    }
    switch (holder.state) {
    case OwnerState::elsewhere:
        return name + " is held by " + describe(*holder.owner) +
               " (remove it if nothing there uses it any more)";
    case OwnerState::gone:
        return name + " was left by " + describe(*holder.owner) + ", which has ended";
    case OwnerState::running:
        break;
    }
    return name + " is held by " + describe(*holder.owner);
}

FolderLock::FolderLock(std::filesystem::path folder, std::chrono::milliseconds patience,
                       const std::atomic<bool>* stop)
    : folder_(std::move(folder)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::mkdir(folder_.c_str(), 0755) == 0) {
            held_ = true;
            recordOwnerIn(folder_);
            return;
        }
        if (errno != EEXIST) {
            problem_ = "its lock folder " + quotedPath(folder_) + " cannot be made (" +
                       std::strerror(errno) + ")";
            return;
        }
        if (breakIfOwnerGone(folder_)) {
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline || (stop != nullptr && stop->load())) {
            heldElsewhere_ = true;
            problem_ = "another process has held its lock for over " +
                       std::to_string(patience.count()) + " ms: " + whyHeld(folder_);
            return;
        }
        std::this_thread::sleep_for(retryEvery);
    }
}

FolderLock::~FolderLock() {
    if (held_) {
        removeOwnerRecordFrom(folder_);
        ::rmdir(folder_.c_str());
    }
}

} // namespace qv::platform
