#include "platform/photos/detail/PictureFile.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform::detail {

namespace {

using Read = imaging::Result<imaging::FileData>;

std::string megabytes(std::uintmax_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// Reads the file behind `fd`, which fstat() gave as `status`.
Read readOpened(int fd, const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return Read::failure("it is not a regular file");
    }
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size > kLargestPictureFile) {
        return Read::failure("it holds " + megabytes(size) + ", more than the " +
                             megabytes(kLargestPictureFile) + " a picture may have");
    }
    imaging::FileData bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Read::failure(std::strerror(errno));
        }
        if (got == 0) {
            return Read::failure("it was cut while it was read");
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

} // namespace

imaging::Result<imaging::FileData> readPictureFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Read::failure(std::strerror(errno));
    }
    struct stat status {};
    Read read =
        ::fstat(fd, &status) == 0 ? readOpened(fd, status) : Read::failure(std::strerror(errno));
    ::close(fd);
    return read;
}

} // namespace qv::platform::detail
