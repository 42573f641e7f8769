#pragma once
// Internal: who has the library's index open, and how each locks it, so that processes of
// machines with and without record locks sharing one home never write it two ways at once. A
// process with record locks (WAL, its locks in the shared-memory file) cannot see a lock
// folder, and one without cannot see record locks: each would write while the other does.
//
// Each opening records itself in the folder "library.sqlite.users" beside the index: a file
// named by a token of its own and its way ("<token>.wal", "<token>.folder"), holding its owner
// (LockOwner.hpp), written under a hidden name (".<token>") and renamed in, so it is never read
// half made. Every process records itself before it looks at the others, so of two that open
// at once at least one sees the other. The record goes when the index closes; a WAL user whose
// WAL file is still there when it closes (another connection still has it open, or its
// checkpoint could not run: locks that stopped) leaves it as "<token>.wal-left", so the file is
// known to be no live connection's. Records of users gone (LockOwner's stateOf: processes of
// this machine that ended, of this boot or an earlier one, in a sandbox or not) are removed by
// whoever finds them, hidden ones of writers killed on the way too; those of WAL users, and
// "wal-left" ones, only once no WAL file is there, as until then they tell whose it is. A record
// of another machine, of a sandbox of this boot, or one that names no process (a stray file) is
// taken to be live: look() names it, for lines.
//
// The users folder is reached only through the descriptor of the index's folder, and never
// through a link (Folder.hpp): whoever can write the library's folder may put a link to another
// folder at its name, and no record is ever written, moved or removed there. A link, a file or
// anything else but a folder at its name is left as it is: enter() fails saying what is there
// (whatIsThere()), and the opening decides (IndexAgreement.hpp): with record locks it goes on
// without a record, as no process without them can record itself there either; without them it
// refuses, since processes with record locks could never see it.
//
// Nothing is left behind by clean ends: a user that leaves removes its record, then the
// records of users gone ("wal-left" ones too once no WAL file is there), then the folder when
// it is empty (through the descriptor, rmdir failing on a folder that holds anything, so no
// record is ever lost). A WAL user that leaves "wal-left" looks at the WAL file again after
// the move: the last connection may have removed it, and its user looked at the records,
// in between. An opening whose folder its last user removed between its opening and
// the write of the record (the write fails: ENOENT, ESTALE on NFS) makes it again and writes
// there, so every record is in the folder at the name. (A users folder renamed aside by hand
// while processes have the index open takes their records with it: openings after that do not
// see them until those processes open the index again.)

#include "platform/files/Folder.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace qv::platform {
struct LockOwner;
}

namespace qv::platform::detail {

class IndexUsers {
public:
    enum class Way { wal, lockFolder };

    // Another user that may be live, for lines.
    struct User {
        enum class Place {
            here,      // a process of this machine that runs: its record goes when it ends
            sandbox,   // of a sandbox of this boot, whose processes cannot be looked at
            elsewhere, // of another machine (or one that cannot be told apart from this one)
            unknown,   // the record names no process: cut short, unreadable, or a stray file
        };
        Place place = Place::unknown;
        std::string who; // "process 4711 on 'studio'" (describe()); empty for unknown
        std::filesystem::path record;
    };

    struct Others {
        std::optional<User> walUser;    // a user locking with record locks (WAL) that may be live
        std::optional<User> folderUser; // a user locking with lock folders that may be live
        // WAL users that are gone, or closed leaving their WAL file: a WAL file there is theirs.
        bool walLeftBehind = false;
    };

    // The users of the index `indexFile`; this opening is not recorded until enter().
    explicit IndexUsers(std::filesystem::path indexFile);
    // Removes this opening's record, as leave().
    ~IndexUsers();
    IndexUsers(const IndexUsers&) = delete;
    IndexUsers& operator=(const IndexUsers&) = delete;

    // Records this opening as a user of `way` (moving its record of another way to its new
    // name, never absent in between). The error when no record could be written: ELOOP or
    // ENOTDIR when something other than a folder is at the users folder's name (whatIsThere()),
    // else the cause (EACCES where the folder cannot be written, ENOSPC...).
    std::error_code enter(Way way);
    // Removes this opening's record and what else nothing needs any more (see above).
    void leave();
    // After this opening's connection closed: for a WAL user whose WAL file is still there,
    // leaves its record as "wal-left"; else as leave().
    void closed();
    // What the other users' records say; removes those of users gone, as above.
    Others look();

    // Whether the index's WAL file is there.
    bool walFileThere() const;
    // What is at the users folder's name when it is something other than a folder, for lines:
    // "a symbolic link", "a file", "a FIFO"...; empty for a folder or nothing.
    std::string whatIsThere() const;
    // Where the users folder is, for lines.
    std::filesystem::path path() const;

private:
    std::string record(Way way) const;
    std::error_code writeRecord(const LockOwner& owner, const std::string& name) const;
    void tidy();
    void removeFolderIfEmpty() const;

    std::filesystem::path indexFile_;
    std::string name_;             // "<index>.users"
    Folder library_;               // the index's folder
    std::error_code libraryError_; // why it could not be opened
    Folder folder_;                // the users folder in it, never through a link
    std::string token_;
    bool entered_ = false;
    Way way_ = Way::wal;
};

} // namespace qv::platform::detail
