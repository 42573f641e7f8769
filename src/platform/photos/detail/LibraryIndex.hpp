#pragma once
// Internal: the library's index, "library.sqlite" in the library's folder (WAL journal,
// schema version in user_version). One row per asset; the thumbnail is kept in the row,
// so a row and its thumbnail come and go together. Used on the library's queue only.
//
// Other processes (a second app, the demo shooter, sqlite3) may hold the same index open;
// SQLite's locks keep their changes apart. Nothing here moves an index another process may
// be using unless it is proven damaged.

#include "platform/files/FileIdentity.hpp"
#include "platform/photos/Asset.hpp"
#include "platform/photos/detail/IndexAgreement.hpp"
#include "platform/photos/detail/IndexUsers.hpp"
#include "platform/photos/detail/Sqlite.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace qv::platform::detail {

class LibraryIndex {
public:
    struct Opening {
        std::unique_ptr<LibraryIndex> index; // null when there is none now
        std::string problem;                 // why there is none, or why it only reads
        // When there is none for a reason no later try gets past (something other than a
        // folder on the way, a folder where a journal file goes, a path too long for SQLite):
        // what to change. Empty when a later try may succeed (busy, I/O, a full disk).
        std::string remedy;
        // Why the folder's file system has no record locks, when it has none: the index is
        // then locked with a folder "library.sqlite.lock" beside it (SQLite's lock folders)
        // and a rollback journal instead of WAL, the library's lock (IndexLock.hpp) is not
        // taken, and a lock file of that name left by an earlier opening is removed. Every
        // process opening the library there finds the same and locks the same way.
        std::optional<std::error_code> withoutRecordLocks;
        // Lines on how the index is shared with its other users (IndexAgreement.hpp), each to
        // be said once a session for its kind.
        std::vector<SharingNotice> notices;
    };
    ~LibraryIndex();

    // Opens the index of `folder` (made when missing), making a new index (all its tables in
    // one transaction) when there is none. Only an index proven damaged by a connection that
    // reads the real file with its journal (not a database, corrupt, failing SQLite's
    // integrity check, or with an older schema version or definitions not ours), or by a
    // header that is not SQLite's, is set aside, with its journal files and one line, and a
    // new one made, to be filled from the files; a snapshot's word (the main file without
    // its journal) never sets an index aside. The library's lock (IndexLock.hpp) is held from
    // before the verdict until the index is open, and only the file the verdict was on is
    // moved (its device and inode): a file put there since is judged anew.
    // Whether the folder's file system has record locks is tried first, on a probe file
    // (RecordLocks.hpp; probe files left by processes killed while probing are removed first).
    // Processes with and without record locks may share one home: each opening records itself
    // among the index's users (IndexUsers.hpp) and locks as they do (IndexAgreement.hpp). One
    // with record locks locks with lock folders too while a user without them may be live, with
    // a line; one that locks with lock folders refuses (no index, and why: "it is in use by
    // process 4711 on 'studio', which locks it with record locks ...") while a WAL user may be
    // live or a WAL file is there that no user gone or closed left, as it could neither see
    // that user's locks nor leave WAL mode under it. One without record locks that cannot
    // record itself refuses too (with what to change when a link or a file is at the users
    // folder's name).
    // An index that is busy longer than `busyWait` (per statement; also the wait for the lock),
    // or cannot be read now, gives no index and why (for a folder that cannot be made, the
    // cause of making it); one that cannot be written (its file or its folder), or that a
    // newer version of the app made (a higher schema version, read before anything else, so
    // such an index is never judged damaged), is opened for reading only, with why. A newer
    // index whose rows this version cannot read shows none. An index that cannot be made in
    // its folder gives why the folder cannot be written, not the missing file's cause.
    // Once `stop` (when given; it must outlive the index) is set, the opening and every
    // statement end soon, failing as interrupted.
    static Opening open(const std::filesystem::path& folder, std::chrono::milliseconds busyWait,
                        const std::atomic<bool>* stop = nullptr);

    // Why changes cannot be made (empty when they can).
    const std::string& readOnlyReason() const { return readOnlyReason_; }
    // Why this version cannot read the rows of a newer version's index (empty when it can):
    // it then shows none.
    const std::string& rowsUnreadable() const { return rowsUnreadable_; }
    // After a change failed as read-only (a folder that cannot be written shows only then,
    // when the journal files were there at the opening): changes cannot be made from now on.
    void becameReadOnly();
    // Whether it only reads because its file or folder could not be written (not because a
    // newer version made it), so opening it again may give one that writes.
    bool mayBecomeWritable() const;
    // Whether that is so and the file and folder can be written now, as their permissions
    // (and the file system) say, and so can its journal files, or they are this user's (a
    // reader made them with the read-only file's permissions; the opening gives them the
    // file's own): a cheap look, for a timer.
    bool writableAgain() const;
    // Whether the path no longer names the file this index has open: deleted (with its folder
    // or not) or replaced (a backup renamed over it). A stat of the path against the identity
    // taken at the opening; false when the path cannot be looked at now.
    bool goneFromItsPath() const;

    enum class OnConflict {
        keep,    // a row already there for the identifier or file stays; nothing is added
        replace, // it is replaced by this one
    };
    // Rows of another index of the same folder in one transaction, without their thumbnails
    // (made again when first asked for), each kept out where a row for its identifier or file
    // is there already; false (nothing added) on failure.
    bool insertAll(const std::vector<Asset>& assets);

    // Adds an asset; `asset.file` is taken relative to the folder. An empty thumbnail is made
    // when it is first asked for (PhotoLibrary::thumbnailJpeg). False on failure; with
    // `keep`, true also when the row was already there (added() tells).
    bool insert(const Asset& asset, const std::vector<std::uint8_t>& thumbnailJpeg,
                OnConflict onConflict);
    // Whether the last insert added a row.
    bool added() const { return database_->changes() > 0; }
    bool remove(const std::string& localIdentifier);
    // Whether a read shows no row for the asset (false when it cannot be read now).
    bool lacks(const std::string& localIdentifier);
    // The thumbnail of an asset that has none yet (taken in without one); false on failure.
    bool storeThumbnail(const std::string& localIdentifier,
                        const std::vector<std::uint8_t>& thumbnailJpeg);
    // Whether a change could be made now: the write lock is free (taken and given back at
    // once, without waiting for another connection that holds it).
    bool writableNow();
    // A transaction around several changes, holding the write lock from its start: they
    // come into the index together, or (rolled back) not at all.
    bool begin();
    bool commit();
    void rollback();
    // Every asset, newest first (equal dates: the later added first).
    std::vector<Asset> allAssets();
    std::vector<std::uint8_t> thumbnail(const std::string& localIdentifier);
    // Under lock folders, a lock held names its folder and who holds it.
    std::string lastError() const;
    // What kind of failure the last one was.
    SqliteFault lastFault() const { return database_->fault(); }
    // Whether it is locked with record locks (WAL), rather than with lock folders.
    bool locksWithRecordLocks() const { return locking_ == SqliteDatabase::Locking::recordLocks; }

private:
    LibraryIndex(std::filesystem::path folder, std::unique_ptr<IndexUsers> users,
                 SqliteDatabase::Locking locking, std::unique_ptr<SqliteDatabase> database,
                 std::string readOnlyReason, bool newer, std::string rowsUnreadable);

    std::filesystem::path folder_;
    std::unique_ptr<IndexUsers> users_; // this opening's record, kept while the connection is
    SqliteDatabase::Locking locking_;
    std::unique_ptr<SqliteDatabase> database_;
    std::string readOnlyReason_;
    bool newer_; // made by a newer version of the app
    std::string rowsUnreadable_;
    std::optional<FileIdentity> identity_; // of the file at the path once it was open
};

} // namespace qv::platform::detail
