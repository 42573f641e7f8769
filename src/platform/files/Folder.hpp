#pragma once
// A folder held open by a descriptor, and every call on a name in it made through that
// descriptor (openat, mkdirat, unlinkat, renameat2, linkat, fstatat), never through a path.
//
// Whoever can write a folder the app keeps its files in (a shared or group-writable home) can
// rename a folder of it aside and put a symbolic link to another folder at its name, at any
// moment. A call by path would then act in the folder the link leads to: remove, truncate or
// write a file of the same name there. Through the descriptor, a call acts in the folder that
// was opened, wherever it is now. The folders inside are opened without following a link
// (O_NOFOLLOW), and a file is never opened, made or removed through a link: a link at a name
// is a link, which fails the open (ELOOP) or is removed itself.
//
// Errors are those of the system call (std::generic_category), returned or set, never thrown.

#include "platform/files/FileDescriptor.hpp"
#include "platform/files/FileIdentity.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace qv::platform {

class Folder {
public:
    // No folder: every call fails with EBADF.
    Folder() = default;

    // Opens the folder at `path`, following links on the way and at its end: the app's own
    // folders are where the user put them (a link to another disk is theirs to make). A folder
    // that may be written but not read (mode 0333) is opened all the same, for calls on names
    // only: its entries cannot be listed, nor can it be synced.
    static Folder open(const std::filesystem::path& path, std::error_code& error);
    // Opens the folder `name` in this one, never through a link: a link there fails with
    // ELOOP, a file with ENOTDIR.
    Folder folder(std::string_view name, std::error_code& error) const;

    explicit operator bool() const { return static_cast<bool>(fd_); }
    int descriptor() const { return fd_.get(); }
    // Where the folder was when it was opened: for lines only, never to act on.
    const std::filesystem::path& path() const { return path_; }

    // The folder's own identity (fstat), wherever it is now.
    std::optional<FileIdentity> identity() const;
    // What is at `name` now, not following a link; nothing, with `error`, when nothing is
    // there or it cannot be looked at.
    std::optional<struct stat> statusOf(std::string_view name, std::error_code& error) const;
    // Whether `name` is, at this moment, the folder `folder` (its device and inode).
    bool names(std::string_view name, const Folder& folder) const;

    // Makes the folder `name`; EEXIST when anything is there already.
    std::error_code makeFolder(std::string_view name, mode_t mode = 0755) const;
    // Opens the file `name` with `flags` (O_CREAT and O_EXCL as the caller asks), never
    // through a link nor blocking on a FIFO or a device: O_NOFOLLOW, O_NONBLOCK, O_NOCTTY and
    // O_CLOEXEC are added.
    FileDescriptor openFile(std::string_view name, int flags, std::error_code& error,
                            mode_t mode = 0644) const;
    // Makes the new file `name` holding `text` whole; when it cannot be written whole, no file
    // is left and the error says why (EEXIST when anything is at the name).
    std::error_code writeNewFile(std::string_view name, std::string_view text) const;
    // The content of the regular file `name` (not a link, a FIFO or a device), when it holds
    // at most `limit` bytes; nothing when it cannot be read or is longer.
    std::optional<std::string> readSmallFile(std::string_view name, std::size_t limit) const;

    // Removes the file (or link) `name`.
    std::error_code remove(std::string_view name) const;
    // Removes the empty folder `name` (ENOTEMPTY when it is not empty).
    std::error_code removeFolder(std::string_view name) const;
    // Flushes the folder's entries to the disk (fsync).
    std::error_code sync() const;
    // Moves `name` to `newName` in `to` (this folder or another of the same file system),
    // replacing what is there as rename() does.
    std::error_code move(std::string_view name, const Folder& to, std::string_view newName) const;
    // Gives the file `name` the second name `newName` in `to` (a link to the file itself: a
    // symbolic link at `name` gets a second name, not its target); EEXIST when it is taken.
    std::error_code link(std::string_view name, const Folder& to, std::string_view newName) const;
    // Makes the symbolic link `name` with the text `target`; EEXIST when the name is taken.
    std::error_code makeLink(std::string_view name, const std::filesystem::path& target) const;
    // The same as move(), but never replacing anything (EEXIST, or ENOTEMPTY where a folder would
    // replace a folder that is not empty): RENAME_NOREPLACE where the file system has it.
    // Where it has not (EINVAL: NFS), a file is linked to its new name and unlinked from its
    // old one, and a folder is renamed when nothing is at the new name, which leaves an
    // instant in which an empty folder made there meanwhile would be replaced.
    std::error_code moveWithoutReplacing(std::string_view name, const Folder& to,
                                         std::string_view newName) const;
    // The names in the folder, "." and ".." left out; empty with `error` set when it cannot be
    // read.
    std::vector<std::string> entries(std::error_code& error) const;

private:
    Folder(FileDescriptor fd, std::filesystem::path path);

    FileDescriptor fd_;
    std::filesystem::path path_;
};

// When a name in a folder is made, removed or moved (ScopedFolderSteps).
enum class FolderStepMoment { before, after };

// Test seam: while one lives, every Folder call that makes, removes or moves a name calls
// `step` before and after the system call, with the folder's path (as opened) and the name,
// once for each folder and name it touches (both ends of a move), from whichever thread makes
// the call. A test can rename the folder aside and put a link at its path in between, and
// check that nothing outside changed. Made and dropped by the test's thread while no such call
// runs.
class ScopedFolderSteps {
public:
    using Step = std::function<void(FolderStepMoment moment, const std::filesystem::path& folder,
                                    std::string_view name)>;
    explicit ScopedFolderSteps(Step step);
    ~ScopedFolderSteps();
    ScopedFolderSteps(const ScopedFolderSteps&) = delete;
    ScopedFolderSteps& operator=(const ScopedFolderSteps&) = delete;

private:
    Step step_;
    const Step* previous_;
};

} // namespace qv::platform
