#include "platform/photos/detail/IndexUsers.hpp"

#include "platform/files/LockOwner.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <optional>
#include <vector>

namespace qv::platform::detail {

namespace {

constexpr std::string_view kWal = ".wal";
constexpr std::string_view kFolder = ".folder";
constexpr std::string_view kWalLeft = ".wal-left";

} // namespace

IndexUsers::IndexUsers(std::filesystem::path indexFile) : indexFile_(std::move(indexFile)) {
    std::error_code error;
    library_ = Folder::open(indexFile_.parent_path(), error);
    if (library_) {
        const std::string name = indexFile_.filename().native() + ".users";
        library_.makeFolder(name);
        folder_ = library_.folder(name, error);
    }
}

IndexUsers::~IndexUsers() {
    leave();
}

bool IndexUsers::walFileThere() const {
    std::error_code error;
    return library_.statusOf(indexFile_.filename().native() + "-wal", error).has_value();
}

void IndexUsers::closed() {
    if (entered_ && way_ == Way::wal && walFileThere() &&
        !folder_.move(record(Way::wal), folder_, token_ + std::string(kWalLeft))) {
        entered_ = false;
        return;
    }
    leave();
}

std::string IndexUsers::record(Way way) const {
    return token_ + std::string(way == Way::wal ? kWal : kFolder);
}

void IndexUsers::enter(Way way) {
    if (entered_ && way == way_) {
        return;
    }
    const LockOwner owner = LockOwner::thisProcess();
    if (token_.empty()) {
        token_ = owner.host + "-" + owner.token; // the token starts with the pid
    }
    const std::string made = record(way);
    if (entered_) {
        // Another way: the same record under its new name, never absent in between.
        if (!folder_.move(record(way_), folder_, made)) {
            way_ = way;
        }
        return;
    }
    const std::string hidden = "." + token_;
    if (!owner.writeTo(folder_, hidden) && !folder_.move(hidden, folder_, made)) {
        entered_ = true;
        way_ = way;
    } else {
        folder_.remove(hidden);
    }
}

void IndexUsers::leave() {
    if (entered_) {
        folder_.remove(record(way_));
        entered_ = false;
    }
}

IndexUsers::Others IndexUsers::look() {
    Others others;
    std::vector<std::string> goneWalUsers;
    std::error_code error;
    for (const std::string& name : folder_.entries(error)) {
        if (name.starts_with(".") || (entered_ && name == record(way_))) {
            continue; // one being written, or this opening's own
        }
        const std::optional<LockOwner> owner = LockOwner::readFrom(folder_, name);
        std::error_code gone;
        if (!owner && !folder_.statusOf(name, gone)) {
            continue; // its user closed meanwhile
        }
        const bool ended = owner && stateOf(*owner) == OwnerState::gone;
        if (name.ends_with(kWalLeft)) {
            others.walLeftBehind = true;
            goneWalUsers.push_back(name);
        } else if (name.ends_with(kWal)) {
            if (ended) {
                others.walLeftBehind = true;
                goneWalUsers.push_back(name);
            } else if (others.walUser.empty()) {
                others.walUser = owner ? describe(*owner) : "a program that names itself nowhere";
                others.walRecord = folder_.path() / name;
            }
        } else if (name.ends_with(kFolder)) {
            if (ended) {
                folder_.remove(name);
            } else {
                others.folderUser = true;
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
