#include "platform/files/LockFolder.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <charconv>
#include <chrono>
#include <optional>
#include <sys/stat.h>

namespace qv::platform {

namespace {

constexpr std::string_view kRecord = "owner";
constexpr std::string_view kOwnRecord = ".owner-"; // a taker's record, before it is "owner"
constexpr std::string_view kJudged = ".judged-";   // the record a taker moved out of "owner"
// A prepared folder that holds no record after this long was left by a process killed between
// making it and writing the record, which takes an instant.
constexpr std::chrono::minutes unrecordedPreparedFolderAge{1};

std::string named(std::string_view prefix, const std::string& token) {
    return std::string(prefix) + token;
}

std::string takingPrefix(const std::string& lock) {
    return "." + lock + ".taking-";
}

std::string releasedPrefix(const std::string& lock) {
    return "." + lock + ".released-";
}

// Removes everything in `folder` and then the folder itself, at `name` in `parent`, while that
// name is the folder. A few tries: a taker putting a record back may add one meanwhile.
void removeWhole(const Folder& parent, const std::string& name, const Folder& folder) {
    for (int tries = 0; tries < 3; ++tries) {
        std::error_code error;
        for (const std::string& entry : folder.entries(error)) {
            folder.remove(entry);
        }
        if (!parent.names(name, folder) ||
            parent.removeFolder(name) != std::errc::directory_not_empty) {
            return;
        }
    }
}

// A claim on `folder`'s record by a taker (see LockFolder.hpp): the record it moved out of
// "owner" (".judged-<token>") and the taker's own record beside it (".owner-<token>").
struct Claim {
    std::string judged;
    std::optional<LockOwner> taker;
};

// The claim in `folder`, where there is one (a folder without "owner" whose taker was killed on
// the way, or is taking it over now).
std::optional<Claim> claimIn(const Folder& folder) {
    std::error_code error;
    for (const std::string& entry : folder.entries(error)) {
        if (entry.starts_with(kJudged)) {
            const std::string own = std::string(kOwnRecord) + entry.substr(kJudged.size());
            return Claim{entry, LockOwner::readFrom(folder, own)};
        }
    }
    return std::nullopt;
}

bool olderThan(const Folder& folder, std::chrono::seconds age) {
    struct stat status {};
    if (::fstat(folder.descriptor(), &status) != 0) {
        return false;
    }
    const auto changed = std::chrono::system_clock::from_time_t(status.st_ctime);
    return std::chrono::system_clock::now() - changed > age;
}

// Whether the folder a taker prepared (`token` in its name, which starts with the taker's pid)
// is left by a taker that no longer runs: its record names a gone owner; or, without a whole
// record (the taker was killed while writing it), no process of that pid runs here, or the
// folder is over a minute old. A taker judged wrongly (one of another pid namespace) only makes
// its folder again.
bool abandoned(const Folder& prepared, std::string_view token) {
    if (const std::optional<LockOwner> owner = LockOwner::readFrom(prepared, kRecord)) {
        return stateOf(*owner) == OwnerState::gone;
    }
    long pid = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), pid);
    return (error == std::errc() && pid > 0 && hasEnded(pid)) ||
           olderThan(prepared, unrecordedPreparedFolderAge);
}

} // namespace

LockFolder::LockFolder(Folder parent, std::string name)
    : parent_(std::move(parent)), name_(std::move(name)) {}

LockFolder::~LockFolder() {
    giveBack();
    removePrepared();
}

std::error_code LockFolder::prepare() {
    record_ = LockOwner::thisProcess(); // a new token for this taking
    preparedName_ = takingPrefix(name_) + record_.token;
    if (const std::error_code error = parent_.makeFolder(preparedName_)) {
        preparedName_.clear();
        return error;
    }
    std::error_code error;
    prepared_ = parent_.folder(preparedName_, error);
    if (!error && !parent_.names(preparedName_, prepared_)) {
        error = std::make_error_code(std::errc::file_exists); // replaced in that instant
    }
    if (!error) {
        error = record_.writeTo(prepared_, kRecord);
    }
    if (error) {
        removePrepared();
    }
    return error;
}

void LockFolder::removePrepared() {
    if (!preparedName_.empty()) {
        if (prepared_) {
            removeWhole(parent_, preparedName_, prepared_);
        } else {
            parent_.removeFolder(preparedName_);
        }
    }
    prepared_ = Folder();
    preparedName_.clear();
}

LockFolder::Attempt LockFolder::tryTake(std::error_code& error) {
    error.clear();
    if (held_) {
        return Attempt::taken;
    }
    // Twice at most: the prepared folder may have gone meanwhile (removed by hand).
    for (int tries = 0; tries < 2; ++tries) {
        if (!prepared_) {
            if ((error = prepare())) {
                return Attempt::failed;
            }
        }
        if (!cleaned_) {
            removeLeftovers();
            cleaned_ = true;
        }
        error = prepared_ ? parent_.moveWithoutReplacing(preparedName_, parent_, name_)
                          : std::make_error_code(std::errc::bad_file_descriptor);
        if (!error) {
            held_ = std::move(prepared_);
            preparedName_.clear();
            return Attempt::taken;
        }
        if (error == std::errc::no_such_file_or_directory) {
            prepared_ = Folder();
            preparedName_.clear();
            continue;
        }
        if (error != std::errc::file_exists && error != std::errc::directory_not_empty &&
            error != std::errc::not_a_directory && error != std::errc::is_a_directory) {
            return Attempt::failed;
        }
        error.clear();
        if (takeOver()) {
            removePrepared();
            return Attempt::taken;
        }
        return Attempt::heldElsewhere;
    }
    return Attempt::failed;
}

bool LockFolder::takeOver() {
    std::error_code error;
    Folder current = parent_.folder(name_, error);
    if (!current) {
        return false; // gone meanwhile (the next try takes it), or no folder: never broken
    }
    if (const std::optional<LockOwner> owner = LockOwner::readFrom(current, kRecord)) {
        return stateOf(*owner) == OwnerState::gone && claim(current, std::string(kRecord));
    }
    // No record: a taker killed on the way left its claim, which the next taker takes on.
    const std::optional<Claim> abandoned = claimIn(current);
    return abandoned && abandoned->taker && stateOf(*abandoned->taker) == OwnerState::gone &&
           claim(current, abandoned->judged);
}

bool LockFolder::claim(Folder& folder, const std::string& recordName) {
    const std::string own = named(kOwnRecord, record_.token);
    const std::string judged = named(kJudged, record_.token);
    if (record_.writeTo(folder, own)) {
        return false;
    }
    // One process alone moves the record: another that got there first has it.
    if (folder.move(recordName, folder, judged)) {
        folder.remove(own);
        return false;
    }
    if (recordName != kRecord) {
        // The record of the killed taker whose claim this one took.
        folder.remove(std::string(kOwnRecord) + recordName.substr(kJudged.size()));
    }
    // What was moved is judged anew: a lock taken over since by a process that runs is its.
    const std::optional<LockOwner> moved = LockOwner::readFrom(folder, judged);
    if (!moved || stateOf(*moved) != OwnerState::gone ||
        folder.moveWithoutReplacing(own, folder, kRecord)) {
        folder.moveWithoutReplacing(judged, folder, kRecord);
        folder.remove(own);
        return false;
    }
    folder.remove(judged);
    if (!parent_.names(name_, folder)) {
        return false; // moved away by hand meanwhile: no lock any more
    }
    held_ = std::move(folder);
    return true;
}

void LockFolder::giveBack() {
    if (!held_) {
        return;
    }
    const Folder folder = std::move(held_);
    const std::optional<LockOwner> record = LockOwner::readFrom(folder, kRecord);
    if (!record || record->token != record_.token || !parent_.names(name_, folder)) {
        return; // no longer this taking's: what is there now is another's
    }
    // Moved aside first, so the name never holds the folder once its record is gone.
    const std::string released = releasedPrefix(name_) + record_.token;
    if (!parent_.moveWithoutReplacing(name_, parent_, released)) {
        removeWhole(parent_, released, folder);
    }
}

bool LockFolder::there() const {
    std::error_code error;
    return parent_.statusOf(name_, error).has_value();
}

void LockFolder::removeLeftovers() const {
    std::error_code listed;
    const std::string taking = takingPrefix(name_);
    const std::string released = releasedPrefix(name_);
    int removed = 0;
    for (const std::string& entry : parent_.entries(listed)) {
        const bool isTaking = entry.starts_with(taking);
        if ((!isTaking && !entry.starts_with(released)) || entry == preparedName_) {
            continue;
        }
        std::error_code error;
        const Folder leftover = parent_.folder(entry, error);
        if (!leftover) {
            continue;
        }
        if (!isTaking) {
            removeWhole(parent_, entry, leftover); // given back: no lock any more
            continue;
        }
        if (!abandoned(leftover, entry.substr(taking.size()))) {
            continue;
        }
        // Moved to a name of this process's first: a taker that still runs can no longer move
        // it to the lock's name once it is being emptied, so no empty folder gets there.
        const std::string aside = released + record_.token + "-" + std::to_string(++removed);
        if (!parent_.moveWithoutReplacing(entry, parent_, aside)) {
            removeWhole(parent_, aside, leftover);
        }
    }
}

std::string LockFolder::whyHeld() const {
    const std::string name = quotedPath(path());
    std::error_code error;
    const Folder current = parent_.folder(name_, error);
    if (error == std::errc::no_such_file_or_directory) {
        return name + " was held by another process until a moment ago";
    }
    if (error == std::errc::not_a_directory || error == std::errc::too_many_symbolic_link_levels) {
        const std::optional<struct stat> status = parent_.statusOf(name_, error);
        const bool link = status && S_ISLNK(status->st_mode);
        const bool file = status && S_ISREG(status->st_mode);
        return name + " is " +
               (link   ? "a symbolic link"
                : file ? "a file"
                       : "no folder") +
               ", not a lock folder (remove it if no program uses it)";
    }
    if (!current) {
        return name + " cannot be looked at (" + error.message() + ")";
    }
    const std::optional<LockOwner> owner = LockOwner::readFrom(current, kRecord);
    if (!owner) {
        if (const std::optional<Claim> claim = claimIn(current); claim && claim->taker) {
            return stateOf(*claim->taker) == OwnerState::gone
                       ? name + " was being taken over by " + describe(*claim->taker) +
                             ", which has ended"
                       : name + " is being taken over by " + describe(*claim->taker);
        }
        return name + " names no owner (an earlier version of this app is taking it, or was "
                      "killed while taking it; remove it if no program uses it)";
    }
    switch (stateOf(*owner)) {
    case OwnerState::elsewhere:
        return name + " is held by " + describe(*owner) +
               " (remove it if nothing there uses it any more)";
    case OwnerState::gone:
        return name + " was left by " + describe(*owner) + ", which has ended";
    case OwnerState::running:
        break;
    }
    return name + " is held by " + describe(*owner);
}

std::string whyHeld(const std::filesystem::path& lockFolder) {
    std::error_code error;
    Folder parent = Folder::open(lockFolder.parent_path(), error);
    if (!parent) {
        return quotedPath(lockFolder) + " cannot be looked at (" + error.message() + ")";
    }
    return LockFolder(std::move(parent), lockFolder.filename()).whyHeld();
}

} // namespace qv::platform
