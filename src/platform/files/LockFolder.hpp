#pragma once
// A lock that is a folder at a name (made where the file system has no flock or record locks:
// a network home whose lock daemon does not answer), holding the record of its owner
// (LockOwner.hpp) in the file "owner". Such a lock outlives a process killed while holding it,
// so whoever finds one whose owner is gone takes it over. Everything is done through the
// descriptors of the lock's folder and of the lock folder itself (Folder.hpp): a link put at a
// name meanwhile is never followed.
//
// One rule makes it safe where processes are killed at any instant: a folder at the lock's name
// always holds a record that names who may hold it.
// - Taking: a folder is prepared under a hidden name beside the lock (".<lock>.taking-<token>")
//   with this process's record already in it, and moved to the lock's name without replacing
//   anything (RENAME_NOREPLACE; where the file system lacks it, a folder is never moved over a
//   folder that is not empty). A process killed on the way leaves only its prepared folder.
// - Giving back: only by the taking whose token the record holds, and only while the lock's
//   name is its folder. The folder is moved aside (".<lock>.released-<token>") before it is
//   emptied and removed, so the name never holds an empty folder.
// - Taking over a lock whose owner is gone (a process of this machine that no longer runs; one
//   of another machine, of a sandbox, or that names no owner, is never broken): in place, never
//   removing the folder. The taker writes its record as ".owner-<token>" in it, moves the
//   record "owner" to ".judged-<token>" (one process alone can), and when the record it moved
//   names a gone owner moves its own to "owner"; else (the lock was taken over by another
//   meanwhile) it puts the record back. A folder without "owner" whose ".owner-<token>" names a
//   gone process is one whose taker was killed on the way: the next taker claims the moved
//   record the same way and judges it anew.
// A folder without any record is one made by an earlier version of this app (which made the
// folder first and wrote its record after) and is never broken; its line says so.
//
// Leftovers of killed processes (prepared folders of gone owners, released folders) are removed
// by the next taker's first try.

#include "platform/files/Folder.hpp"
#include "platform/files/LockOwner.hpp"

#include <filesystem>
#include <string>
#include <system_error>

namespace qv::platform {

class LockFolder {
public:
    // The lock folder `name` in `parent`.
    LockFolder(Folder parent, std::string name);
    // Gives the lock back when it is held, and removes the prepared folder.
    ~LockFolder();
    LockFolder(const LockFolder&) = delete;
    LockFolder& operator=(const LockFolder&) = delete;

    enum class Attempt {
        taken,         // held now: made, or taken over from a gone owner
        heldElsewhere, // another may hold it (whyHeld() says who)
        failed,        // it cannot be made here (the error says why)
    };
    // Tries once, without waiting.
    Attempt tryTake(std::error_code& error);
    // Gives it back, when it is held and still this taking's (see above).
    void giveBack();
    bool held() const { return static_cast<bool>(held_); }

    // Where it is, for lines.
    std::filesystem::path path() const { return parent_.path() / name_; }
    // Why it is held, for a line: "'<folder>' is held by process 4711 on 'studio' (remove it if
    // nothing there uses it any more)", "... names no owner (...)".
    std::string whyHeld() const;
    // Whether anything is at its name now.
    bool there() const;

private:
    std::error_code prepare();
    void removePrepared();
    bool takeOver();
    bool claim(Folder& folder, const std::string& recordName);
    void removeLeftovers() const;

    Folder parent_;
    std::string name_;
    LockOwner record_; // this taking's
    Folder prepared_;  // the folder prepared to be moved to the name
    std::string preparedName_;
    Folder held_; // the lock folder, while it is held
    bool cleaned_ = false;
};

// Why the lock folder at `path` is held, for a line (LockFolder::whyHeld).
std::string whyHeld(const std::filesystem::path& lockFolder);

} // namespace qv::platform
