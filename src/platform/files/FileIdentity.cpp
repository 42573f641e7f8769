#include "platform/files/FileIdentity.hpp"

#include <cerrno>
#include <sys/stat.h>

namespace qv::platform {

std::optional<FileIdentity> identityAt(const std::filesystem::path& path, std::error_code& error) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        error = {errno, std::generic_category()};
        return std::nullopt;
    }
    error.clear();
    return FileIdentity{status.st_dev, status.st_ino};
}

} // namespace qv::platform
