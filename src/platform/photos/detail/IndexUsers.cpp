#include "platform/photos/detail/IndexUsers.hpp"

#include "platform/files/LockOwner.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform::detail {

namespace {

constexpr std::string_view kWal = ".wal";
constexpr std::string_view kFolder = ".folder";
constexpr std::string_view kWalLeft = ".wal-left";

std::filesystem::path withSuffix(const std::filesystem::path& file, std::string_view suffix) {
    std::filesystem::path named = file;
    named += std::string(suffix);
    return named;
}

bool walFileThere(const std::filesystem::path& indexFile) {
    struct stat status {};
    return ::lstat(withSuffix(indexFile, "-wal").c_str(), &status) == 0;
}

} // namespace

IndexUsers::IndexUsers(std::filesystem::path indexFile)
    : indexFile_(std::move(indexFile)), folder_(withSuffix(indexFile_, ".users")) {}

IndexUsers::~IndexUsers() {
    leave();
}

void IndexUsers::closed() {
    if (entered_ && way_ == Way::wal && walFileThere(indexFile_) &&
        ::rename(record(Way::wal).c_str(), withSuffix(folder_ / token_, kWalLeft).c_str()) == 0) {
        entered_ = false;
        return;
    }
    leave();
}

std::filesystem::path IndexUsers::record(Way way) const {
    return withSuffix(folder_ / token_, way == Way::wal ? kWal : kFolder);
}

void IndexUsers::enter(Way way) {
    if (entered_ && way == way_) {
        return;
    }
    const LockOwner owner = LockOwner::thisProcess();
    if (token_.empty()) {
        token_ = owner.host + "-" + std::to_string(owner.pid) + "-" + owner.token;
    }
    const std::filesystem::path made = record(way);
    if (entered_) {
        // Another way: the same record under its new name, never absent in between.
        if (::rename(record(way_).c_str(), made.c_str()) == 0) {
            way_ = way;
        }
        return;
    }
    ::mkdir(folder_.c_str(), 0755);
    const std::filesystem::path hidden = folder_ / ("." + token_);
    if (owner.writeTo(hidden) && ::rename(hidden.c_str(), made.c_str()) == 0) {
        entered_ = true;
        way_ = way;
    } else {
        ::unlink(hidden.c_str());
    }
}

void IndexUsers::leave() {
    if (entered_) {
        ::unlink(record(way_).c_str());
        entered_ = false;
    }
}

IndexUsers::Others IndexUsers::look() {
    Others others;
    std::vector<std::filesystem::path> goneWalUsers;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path file = it->path();
        const std::string name = file.filename().string();
        if (name.starts_with(".") || (entered_ && file == record(way_))) {
            continue; // one being written, or this opening's own
        }
        const std::optional<LockOwner> owner = LockOwner::readFrom(file);
        std::error_code gone;
        if (!owner && !std::filesystem::exists(std::filesystem::symlink_status(file, gone))) {
            continue; // its user closed meanwhile
        }
        const bool ended = owner && stateOf(*owner) == OwnerState::gone;
        if (name.ends_with(kWalLeft)) {
            others.walLeftBehind = true;
            goneWalUsers.push_back(file);
        } else if (name.ends_with(kWal)) {
            if (ended) {
                others.walLeftBehind = true;
                goneWalUsers.push_back(file);
            } else if (others.walUser.empty()) {
                others.walUser = owner ? describe(*owner) : "a program that names itself nowhere";
                others.walRecord = file;
            }
        } else if (name.ends_with(kFolder)) {
            if (ended) {
                ::unlink(file.c_str());
            } else {
                others.folderUser = true;
            }
        }
    }
    if (!walFileThere(indexFile_)) {
        for (const std::filesystem::path& file : goneWalUsers) {
            ::unlink(file.c_str());
        }
    }
    return others;
}

} // namespace qv::platform::detail
