#pragma once
// Internal: the library's index, "library.sqlite" in the library's folder (WAL journal,
// schema version in user_version). One row per asset; the thumbnail is kept in the row,
// so a row and its thumbnail come and go together. Used on the library's queue only.
//
// Other processes (a second app, the demo shooter, sqlite3) may hold the same index open;
// SQLite's locks keep their changes apart. Nothing here moves an index another process may
// be using unless it is proven damaged.

#include "platform/photos/Asset.hpp"
#include "platform/photos/detail/Sqlite.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
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
    };

    // Opens the index of `folder` (made when missing), making a new index (all its tables in
    // one transaction) when there is none. Only an index proven damaged by a connection that
    // reads the real file with its journal (not a database, corrupt, failing SQLite's
    // integrity check, or with an older schema version or definitions not ours), or by a
    // header that is not SQLite's, is set aside, with its journal files and one line, and a
    // new one made, to be filled from the files; a snapshot's word (the main file without
    // its journal) never sets an index aside.
    // An index that is busy longer than `busyWait` (per statement), or cannot be read now,
    // gives no index and why; one that cannot be written (its file or its folder), or that a
    // newer version of the app made (a higher schema version), is opened for reading only,
    // with why. A newer index whose rows this version cannot read shows none.
    static Opening open(const std::filesystem::path& folder, std::chrono::milliseconds busyWait);

    // Why changes cannot be made (empty when they can).
    const std::string& readOnlyReason() const { return readOnlyReason_; }
    // After a change failed as read-only (a folder that cannot be written shows only then,
    // when the journal files were there at the opening): changes cannot be made from now on.
    void becameReadOnly();

    enum class OnConflict {
        keep,    // a row already there for the identifier or file stays; nothing is added
        replace, // it is replaced by this one
    };
    // Adds an asset; `asset.file` is taken relative to the folder. False on failure; with
    // `keep`, true also when the row was already there (added() tells).
    bool insert(const Asset& asset, const std::vector<std::uint8_t>& thumbnailJpeg,
                OnConflict onConflict);
    // Whether the last insert added a row.
    bool added() const { return database_->changes() > 0; }
    bool remove(const std::string& localIdentifier);
    // Every asset, newest first (equal dates: the later added first).
    std::vector<Asset> allAssets();
    std::vector<std::uint8_t> thumbnail(const std::string& localIdentifier);
    std::string lastError() const { return database_->error(); }
    // What kind of failure the last one was.
    SqliteFault lastFault() const { return database_->fault(); }

private:
    LibraryIndex(std::filesystem::path folder, std::unique_ptr<SqliteDatabase> database,
                 std::string readOnlyReason, bool rowsReadable);

    std::filesystem::path folder_;
    std::unique_ptr<SqliteDatabase> database_;
    std::string readOnlyReason_;
    bool rowsReadable_ = true;
};

} // namespace qv::platform::detail
