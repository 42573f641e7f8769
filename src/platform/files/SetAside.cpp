#include "platform/files/SetAside.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/formatting/DateFormatter.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
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

std::optional<FileIdentity> identityAt(const std::filesystem::path& path, std::error_code& error) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        error = lastError();
        return std::nullopt;
    }
    error.clear();
    return FileIdentity{status.st_dev, status.st_ino};
}

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

std::filesystem::path setAside(const std::filesystem::path& file, const FileIdentity& judged,
                               std::error_code& error) {
    const std::optional<FileIdentity> now = identityAt(file, error);
    if (!now) {
        return {};
    }
    if (*now != judged) {
        error = fileReplacedSinceJudged();
        return {};
    }
    std::filesystem::path stem = file;
    stem +=
        ".corrupt" + DateFormatter("_yyyyMMdd_HHmmss", DateFormatter::Zone::utc).format(wallNow());
    std::filesystem::path aside = stem;
    for (int n = 2;; ++n) {
        error = renameWithoutReplacing(file, aside);
        if (error != std::errc::file_exists) {
            return error ? std::filesystem::path{} : aside;
        }
        aside = stem;
        aside += '_';
        aside += std::to_string(n);
    }
}

} // namespace qv::platform
