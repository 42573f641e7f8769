#pragma once

#include "platform/files/FileIdentity.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace qv::platform {

// Why a file could not be read; `reason` completes a sentence about the file:
// "does not exist", "is a FIFO, not a regular file", "is larger than 1 MB",
// "cannot be read (Permission denied)".
struct FileProblem {
    enum class Kind {
        missing,     // nothing at the name (or a file where a folder on the way should be)
        notRegular,  // a folder, a FIFO, a device, a socket, or a symlink loop
        tooLarge,    // a regular file over the bound
        unreadable,  // cannot be read now: no permission, an I/O error, no descriptors or
                     // memory left; says nothing of the file's content
        unreachable, // no file can be read by that name, however often it is tried: the name
                     // is too long, or a folder on the way is a link loop (isLastingError);
                     // says nothing of a file's content either
    };
    Kind kind = Kind::unreadable;
    std::string reason;
};

// Reads the whole of `file` into `content` when it is a regular file (or a link to one) of
// at most `maximumBytes`; otherwise says why and leaves `content` empty. Never blocks and
// never reads more than the bound: the file's type and size are checked before it is
// opened, it is opened without blocking and checked again on the open descriptor (so a FIFO,
// a device, a folder or a socket put there in between is refused too), and no more than the
// size it had then is read. A file that shrinks while it is read gives what it still held.
// `judged`, when given, gets the identity of the file the content or the problem is of (the
// open descriptor's, or the one whose type or size was refused), so that a caller acting on
// its verdict later acts on that file only.
std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes, std::string& content,
                                           FileIdentity* judged = nullptr);
std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes,
                                           std::vector<std::uint8_t>& content);

// Whether a failure with this error lasts until the user changes something, however often it
// is tried: ELOOP, ENOTDIR, EISDIR and ENAMETOOLONG. Such a cause is never worded as one a
// later try may get past.
bool isLastingError(const std::error_code& error);

// Test seam: while one lives, opening `file` for readRegularFile fails with `error` (an errno
// value: EACCES, EIO, EMFILE, ENFILE, ENOMEM...), as the system would, from any thread. Made
// and dropped by the test's thread, also while a read runs on another (a queue's write).
class ScopedReadFailure {
public:
    ScopedReadFailure(std::filesystem::path file, int error);
    ~ScopedReadFailure();
    ScopedReadFailure(const ScopedReadFailure&) = delete;
    ScopedReadFailure& operator=(const ScopedReadFailure&) = delete;

    bool covers(const std::filesystem::path& file) const;
    int error() const { return error_; }

private:
    std::filesystem::path file_;
    int error_;
    const ScopedReadFailure* previous_ = nullptr;
};

} // namespace qv::platform
