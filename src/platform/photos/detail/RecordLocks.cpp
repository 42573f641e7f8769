#include "platform/photos/detail/RecordLocks.hpp"

#include "platform/files/FileLock.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qv::platform::detail {

std::optional<std::error_code> recordLocksMissing(const std::filesystem::path& folder) {
    std::string name = (folder / "library.sqlite.probe-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    ::unlink(name.c_str()); // the lock is tried on the open file; nothing is left behind
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    const std::error_code cause(::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : errno,
                                std::generic_category());
    ::close(fd); // gives the lock back
    if (isLockingUnavailable(cause)) {
        return cause;
    }
    return std::nullopt;
}

} // namespace qv::platform::detail
