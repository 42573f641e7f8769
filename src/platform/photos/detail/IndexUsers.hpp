#pragma once
// Internal: who has the library's index open, and how each locks it, so that processes of
// machines with and without record locks sharing one home never write it two ways at once. A
// process with record locks (WAL, its locks in the shared-memory file) cannot see a lock
// folder, and one without cannot see record locks: each would write while the other does.
//
// Each opening records itself in the folder "library.sqlite.users" beside the index: a file
// named by a token of its own and its way ("<token>.wal", "<token>.folder"), holding its owner
// (LockOwner.hpp), written under a hidden name and renamed in, so it is never read half made.
// Every process records itself before it looks at the others, so of two that open at once at
// least one sees the other. The record goes when the index closes; a WAL user whose WAL file
// is still there when it closes (its checkpoint could not run: locks that stopped) leaves it
// as "<token>.wal-left", so the file is known to be no live connection's. Records of users of
// this machine that are gone are removed by whoever finds them (those of WAL users only once
// no WAL file is there, as until then they tell whose it is). A record that cannot be read, or
// of another machine, is taken to be live.

#include "platform/files/Folder.hpp"

#include <filesystem>
#include <string>

namespace qv::platform::detail {

class IndexUsers {
public:
    enum class Way { wal, lockFolder };

    struct Others {
        // A user locking with record locks (WAL) that may be live: who ("process 4711 on
        // 'studio'"), and the record to remove if it is not. Empty when there is none.
        std::string walUser;
        std::filesystem::path walRecord;
        // A user locking with lock folders that may be live.
        bool folderUser = false;
        // WAL users that are gone, or closed leaving their WAL file: a WAL file there is theirs.
        bool walLeftBehind = false;
    };

    // The users of the index `indexFile`; this opening is not recorded until enter().
    explicit IndexUsers(std::filesystem::path indexFile);
    // Removes this opening's record.
    ~IndexUsers();
    IndexUsers(const IndexUsers&) = delete;
    IndexUsers& operator=(const IndexUsers&) = delete;

    // Records this opening as a user of `way` (replacing its record of another way). Where no
    // record can be written (a folder that cannot be written) it goes on without one.
    void enter(Way way);
    // Removes this opening's record.
    void leave();
    // After this opening's connection closed: removes its record, or, for a WAL user whose WAL
    // file is still there, leaves it as "wal-left".
    void closed();
    // What the other users' records say; removes those of users gone, as above.
    Others look();

private:
    std::string record(Way way) const;
    bool walFileThere() const;

    std::filesystem::path indexFile_;
    Folder library_; // the index's folder, opened when the users folder is first needed
    Folder folder_;  // "<index>.users" in it, never through a link
    std::string token_;
    bool entered_ = false;
    Way way_ = Way::wal;
};

} // namespace qv::platform::detail
