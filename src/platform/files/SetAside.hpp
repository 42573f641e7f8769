#pragma once

#include "platform/files/FileIdentity.hpp"

#include <filesystem>
#include <system_error>

namespace qv::platform {

// The error setAside() gives when the path no longer names the file that was judged:
// another process replaced or removed it in between, and what is there now was never
// judged, so it stays.
std::error_code fileReplacedSinceJudged();

// Renames `from` to `to` unless `to` exists (std::errc::file_exists then): renameat2 with
// RENAME_NOREPLACE, or, on a file system without it, a hard link then the unlink of `from`.
// Never replaces a file at `to`.
std::error_code renameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to);

// Moves a file that cannot be used out of the way, keeping it for the user: renames it to
// "<file>.corrupt_<UTC date, _yyyyMMdd_HHmmss>", with "_2", "_3"... added when that name is
// taken; no name is ever replaced, even by a process racing this one for the same name.
// `judged` is the identity the file had when it was found unusable: when the path names
// another file now, nothing moves and `error` is fileReplacedSinceJudged(). A link is moved
// itself, never its target. Returns the new name; on failure sets `error` and leaves the
// file where it was. Callers hold the lock that orders the file's writers, so that nothing
// replaces the file between the check and the rename.
std::filesystem::path setAside(const std::filesystem::path& file, const FileIdentity& judged,
                               std::error_code& error);

// Sets aside the symbolic link `file` whose links lead back to `file` itself (a loop through
// its own name), as setAside() does, but so that the aside stays a loop: renamed as it is,
// its text would now lead to whatever is made at `file` next. The aside is a new link that
// names itself, made at the first free aside name; then the link judged is removed (when it
// is still the one judged; else the new link goes again). The text the link had, which only
// led back to `file`, is not kept.
std::filesystem::path setAsideLinkLoop(const std::filesystem::path& file,
                                       const FileIdentity& judged, std::error_code& error);

} // namespace qv::platform
