#include "platform/files/SetAside.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/formatting/DateFormatter.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qv::platform {

namespace {

class SetAsideErrors final : public std::error_category {
public:
    const char* name() const noexcept override { return "set aside"; }
    std::string message(int) const override {
        return "the file was replaced after it was checked, so it was left in place";
    }
};

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

std::error_code fileReplacedSinceJudged() {
    static const SetAsideErrors category;
    return {1, category};
}

std::error_code renameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return lastError();
    }
    // No RENAME_NOREPLACE here: link() fails rather than replace, and a link made to the
    // path itself (no AT_SYMLINK_FOLLOW) moves a symbolic link, not its target.
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        return lastError();
    }
    if (::unlink(from.c_str()) != 0) {
        const std::error_code error = lastError();
        ::unlink(to.c_str());
        return error;
    }
    return {};
}

namespace {

// Whether `file` is still the file judged: `error` says why not.
bool stillJudged(const std::filesystem::path& file, const FileIdentity& judged,
                 std::error_code& error) {
    const std::optional<FileIdentity> now = identityAt(file, error);
    if (now && *now != judged) {
        error = fileReplacedSinceJudged();
    }
    return !error;
}

// Gives `claim` the aside names of `file` in turn, "<file>.corrupt_<date>", then "_2", "_3"...,
// until one is not taken (std::errc::file_exists); that name, or nothing with `error` set.
template <typename Claim>
std::filesystem::path firstFreeAsideName(const std::filesystem::path& file, Claim claim,
                                         std::error_code& error) {
    std::filesystem::path stem = file;
    stem +=
        ".corrupt" + DateFormatter("_yyyyMMdd_HHmmss", DateFormatter::Zone::utc).format(wallNow());
    std::filesystem::path aside = stem;
    for (int n = 2;; ++n) {
        error = claim(aside);
        if (error != std::errc::file_exists) {
            return error ? std::filesystem::path{} : aside;
        }
        aside = stem;
        aside += '_';
        aside += std::to_string(n);
    }
}

} // namespace

std::filesystem::path setAside(const std::filesystem::path& file, const FileIdentity& judged,
                               std::error_code& error) {
    if (!stillJudged(file, judged, error)) {
        return {};
    }
    return firstFreeAsideName(
        file,
        [&file](const std::filesystem::path& aside) { return renameWithoutReplacing(file, aside); },
        error);
}

std::filesystem::path setAsideLinkLoop(const std::filesystem::path& file,
                                       const FileIdentity& judged, std::error_code& error) {
    if (!stillJudged(file, judged, error)) {
        return {};
    }
    // symlink() never replaces a name, so a name another process took is passed over.
    const std::filesystem::path aside = firstFreeAsideName(
        file,
        [](const std::filesystem::path& name) -> std::error_code {
            if (::symlink(name.filename().c_str(), name.c_str()) != 0) {
                return lastError();
            }
            return {};
        },
        error);
    if (error) {
        return {};
    }
    // Checked again: the link judged goes only when it is still the one at the name.
    if (!stillJudged(file, judged, error) || ::unlink(file.c_str()) != 0) {
        if (!error) {
            error = lastError();
        }
        ::unlink(aside.c_str());
        return {};
    }
    return aside;
}

} // namespace qv::platform
