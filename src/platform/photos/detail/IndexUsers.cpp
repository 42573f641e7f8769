#include "platform/photos/detail/IndexUsers.hpp"

#include "platform/files/LockOwner.hpp"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace qv::platform::detail {

namespace {

constexpr std::string_view kWal = ".wal";
constexpr std::string_view kFolder = ".folder";
constexpr std::string_view kWalLeft = ".wal-left";

// How often an opening makes the users folder again when its last user removed it before the
// record was in. Each failed try means another process ended its use of the index in that
// moment, so the tries end as soon as the others pause; the bound only keeps processes that
// open and close the index without end from holding this one for ever (eight processes doing
// so 300 times each at once on an overloaded machine needed 18 at most).
constexpr int kTries = 1000;

// Whether a call in a folder failed because the folder was removed after it was opened.
bool folderRemoved(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory ||
           (error.category() == std::generic_category() && error.value() == ESTALE);
}

IndexUsers::User userOf(const std::optional<LockOwner>& owner, OwnerState state,
                        std::filesystem::path record) {
    using Place = IndexUsers::User::Place;
    if (!owner) {
        return {Place::unknown, {}, std::move(record)};
    }
    // Elsewhere but of this boot: another pid namespace of this machine.
    const Place place = state == OwnerState::running ? Place::here
                        : ofThisBoot(*owner)         ? Place::sandbox
                                                     : Place::elsewhere;
    return {place, describe(*owner), std::move(record)};
}

} // namespace

IndexUsers::IndexUsers(std::filesystem::path indexFile)
    : indexFile_(std::move(indexFile)), name_(indexFile_.filename().native() + ".users") {
    library_ = Folder::open(indexFile_.parent_path(), libraryError_);
}

IndexUsers::~IndexUsers() {
    if (entered_) {
        leave();
    }
}

std::filesystem::path IndexUsers::path() const {
    return indexFile_.parent_path() / name_;
}

bool IndexUsers::walFileThere() const {
    std::error_code error;
    return library_.statusOf(indexFile_.filename().native() + "-wal", error).has_value();
}

std::string IndexUsers::whatIsThere() const {
    std::error_code error;
    const std::optional<struct stat> status = library_.statusOf(name_, error);
    if (!status || S_ISDIR(status->st_mode)) {
        return {};
    }
    const mode_t mode = status->st_mode;
    return S_ISLNK(mode)                    ? "a symbolic link"
           : S_ISREG(mode)                  ? "a file"
           : S_ISFIFO(mode)                 ? "a FIFO"
           : S_ISSOCK(mode)                 ? "a socket"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                            : "something other than a folder";
}

std::string IndexUsers::record(Way way) const {
    return token_ + std::string(way == Way::wal ? kWal : kFolder);
}

std::error_code IndexUsers::writeRecord(const LockOwner& owner, const std::string& name) const {
    const std::string hidden = "." + token_;
    std::error_code error = owner.writeTo(folder_, hidden);
    if (!error) {
        error = folder_.move(hidden, folder_, name); // the hidden record keeps the folder
        if (error) {
            folder_.remove(hidden);
        }
    }
    return error;
}

std::error_code IndexUsers::enter(Way way) {
    if (entered_) {
        if (way == way_) {
            return {};
        }
        // The record keeps the folder: it is still the one at the name.
        const std::error_code error = folder_.move(record(way_), folder_, record(way));
        if (!error) {
            way_ = way;
        }
        return error;
    }
    if (!library_) {
        return libraryError_;
    }
    const LockOwner owner = LockOwner::thisProcess();
    if (token_.empty()) {
        token_ = owner.host + "-" + owner.token; // the token starts with the pid
    }
    std::error_code error;
    for (int tries = 0; tries < kTries; ++tries) {
        const std::error_code made = library_.makeFolder(name_);
        folder_ = library_.folder(name_, error);
        if (folderRemoved(error) && made && made != std::errc::file_exists) {
            error = made; // why it could not be made (no permission), not that it is missing
            break;
        }
        if (!error) {
            error = writeRecord(owner, record(way));
        }
        if (!folderRemoved(error)) {
            break;
        }
    }
    if (!error) {
        entered_ = true;
        way_ = way;
    }
    return error;
}

void IndexUsers::leave() {
    if (entered_) {
        folder_.remove(record(way_));
        entered_ = false;
    }
    tidy();
}

void IndexUsers::closed() {
    if (!entered_) {
        return;
    }
    if (way_ == Way::wal && walFileThere()) {
        const std::string left = token_ + std::string(kWalLeft);
        if (!folder_.move(record(Way::wal), folder_, left)) {
            entered_ = false;
            // The last connection may have brought the WAL file in, and its user looked at the
            // records, between the look at the file and the move: looked at again after it.
            if (!walFileThere()) {
                tidy();
            }
            return;
        }
    }
    leave();
}

void IndexUsers::tidy() {
    look(); // removes the records of users gone, and "wal-left" ones once no WAL file is there
    removeFolderIfEmpty();
}

void IndexUsers::removeFolderIfEmpty() const {
    // Only the folder this opening used, and only when empty: rmdir fails on one that holds
    // anything, a record being written too.
    if (folder_ && library_.names(name_, folder_)) {
        library_.removeFolder(name_);
    }
}

IndexUsers::Others IndexUsers::look() {
    if (!entered_) {
        // Opened again: the one opened before may have been removed by its last user since.
        std::error_code error;
        folder_ = library_.folder(name_, error);
    }
    Others others;
    std::vector<std::string> goneWalUsers;
    std::error_code error;
    for (const std::string& name : folder_.entries(error)) {
        if (entered_ && name == record(way_)) {
            continue; // this opening's own
        }
        const std::optional<LockOwner> owner = LockOwner::readFrom(folder_, name);
        // One that names no process is taken to run where it cannot be looked at.
        const OwnerState state = owner ? stateOf(*owner) : OwnerState::elsewhere;
        const bool gone = state == OwnerState::gone;
        if (name.starts_with(".")) {
            // Being written, or left by a writer killed on the way.
            if (gone) {
                folder_.remove(name);
            }
            continue;
        }
        const bool walLeft = name.ends_with(kWalLeft);
        const bool wal = name.ends_with(kWal);
        if (!walLeft && !wal && !name.ends_with(kFolder)) {
            continue; // no record: a file someone put there
        }
        std::error_code missing;
        if (!owner && !walLeft && !folder_.statusOf(name, missing)) {
            continue; // its user closed meanwhile
        }
        if (walLeft || (wal && gone)) {
            others.walLeftBehind = true;
            goneWalUsers.push_back(name);
        } else if (gone) {
            folder_.remove(name);
        } else {
            std::optional<User>& user = wal ? others.walUser : others.folderUser;
            if (!user) {
                user = userOf(owner, state, folder_.path() / name);
            }
        }
    }
    if (!walFileThere()) {
        for (const std::string& name : goneWalUsers) {
            folder_.remove(name);
        }
    }
    return others;
}

} // namespace qv::platform::detail
