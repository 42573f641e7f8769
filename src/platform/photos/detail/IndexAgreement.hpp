#pragma once
// Internal: how an opening of the library's index locks it beside the index's other users
// (IndexUsers.hpp), so that no two processes write it two ways at once, and the lines that say
// so. The opening first records itself with the way its folder's probe found (record locks:
// WAL; none: lock folders and a rollback journal), then looks at the others:
// - With record locks, beside a lock-folder user that may be live: it locks with the lock
//   folder too (that user cannot see record locks), with a line naming the user's process and
//   record and what to remove once that machine no longer uses the library.
// - With lock folders, beside a WAL user that may be live, or a WAL file that no user gone or
//   closed left: it refuses (the user's locks cannot be seen without record locks, and a
//   process with them cannot lock both ways), saying who, and what to remove if it is gone.
// - Where no record can be written because something other than a folder is at the users
//   folder's name (a link, a file): with record locks it goes on without one, with a line, as
//   no process without them can record itself there either, and so uses the index; without
//   record locks it refuses until that is removed or renamed, as no process with them could
//   see it. A record that cannot be written for another cause (no permission, a full disk)
//   refuses without record locks too, for as long as it lasts (later tries get past it),
//   unless the index's folder cannot be written by this process, which then only reads; with
//   record locks the opening goes on without a record and without a line, as before.

#include "platform/photos/detail/IndexUsers.hpp"
#include "platform/photos/detail/Sqlite.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace qv::platform::detail {

// A line about how the index is shared, to be said once a session for each kind.
struct SharingNotice {
    enum class Kind {
        notRecorded,      // something other than a folder at the users folder's name
        lockedWithFolder, // locked with its lock folder because of a lock-folder user
    };
    Kind kind;
    std::string line;
};

struct Agreement {
    SqliteDatabase::Locking locking;
    std::string refusal; // why this opening cannot use the index now; empty when it can
    std::string remedy;  // for a refusal no later try gets past: what to change
    std::vector<SharingNotice> notices;
};

// Records this opening among the users of the index `file` and agrees with them, `found`
// being the way its folder's probe found. A refusal leaves no record of this opening.
Agreement agreeWithOtherUsers(IndexUsers& users, const std::filesystem::path& file,
                              SqliteDatabase::Locking found);

} // namespace qv::platform::detail
