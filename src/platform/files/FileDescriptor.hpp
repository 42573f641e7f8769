#pragma once

#include <system_error>

namespace qv::platform {

// An open file descriptor, closed with its owner: the one owner of a descriptor in the app's
// file code and its child processes' pipes. Moves, never copies; an empty one holds -1.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes the descriptor now (nothing when empty) and says how the close went: a writer
    // must know, since some file systems report a failed write only there.
    std::error_code close();

private:
    int fd_ = -1;
};

} // namespace qv::platform
