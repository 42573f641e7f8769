#include "platform/files/SymbolicLinks.hpp"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

// As many links as the system follows in one path before it gives ELOOP.
constexpr int maximumLinks = 40;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

FollowedLinks followLinks(const std::filesystem::path& name) {
    FollowedLinks followed;
    followed.end = name;
    for (;;) {
        struct stat status {};
        if (::lstat(followed.end.c_str(), &status) != 0) {
            followed.error = lastError();
            return followed;
        }
        const FileIdentity identity{status.st_dev, status.st_ino};
        if (followed.links == 0) {
            followed.first = identity;
        } else if (identity == followed.first) {
            followed.loopsBack = true;
            followed.error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return followed;
        }
        if (!S_ISLNK(status.st_mode)) {
            return followed;
        }
        if (status.st_uid != ::geteuid() && status.st_uid != 0) {
            followed.foreignOwner = status.st_uid;
            followed.error = std::make_error_code(std::errc::operation_not_permitted);
            return followed;
        }
        if (followed.links == maximumLinks) {
            followed.error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return followed;
        }
        char text[PATH_MAX];
        const ssize_t length = ::readlink(followed.end.c_str(), text, sizeof text);
        if (length < 0) {
            followed.error = lastError();
            return followed;
        }
        if (std::size_t(length) == sizeof text) {
            followed.error = std::make_error_code(std::errc::filename_too_long);
            return followed;
        }
        const std::filesystem::path target(std::string(text, std::size_t(length)));
        followed.end = target.is_absolute() ? target : followed.end.parent_path() / target;
        ++followed.links;
    }
}

} // namespace qv::platform
