#include "platform/files/FileDescriptor.hpp"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace qv::platform {

FileDescriptor::~FileDescriptor() {
    close();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::error_code FileDescriptor::close() {
    const int fd = std::exchange(fd_, -1);
    // Linux frees the descriptor even when close() is interrupted, so it is never retried.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
        return {errno, std::generic_category()};
    }
    return {};
}

} // namespace qv::platform
