#pragma once
// Internal: a thin owner of one SQLite connection and its statements. Nothing throws:
// failures come back as false or nothing, with the connection's message in error().

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qv::platform::detail {

class SqliteStatement {
public:
    SqliteStatement(sqlite3* database, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool valid() const { return statement_ != nullptr; }

    // Parameters count from 1.
    void bind(int index, std::string_view text);
    void bind(int index, std::int64_t value);
    void bind(int index, double value);
    void bind(int index, const std::vector<std::uint8_t>& blob);
    void bind(int index, std::nullopt_t);

    // True while a row is there to read; false at the end or on an error (see done()).
    bool step();
    // Whether the last step() ran the statement to its end without an error.
    bool done() const { return done_; }

    // Columns count from 0.
    bool isNull(int column) const;
    std::string text(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;
    std::vector<std::uint8_t> blob(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
    bool done_ = false;
};

// What kind of failure a connection's last error was.
enum class SqliteFault {
    none,
    busy,           // another connection holds a lock longer than the connection waits
    readOnly,       // the file or the file system cannot be written
    readOnlyFolder, // the file's folder cannot be written (its journal files cannot be made)
    unavailable,    // it cannot be opened or read now: permissions, I/O, a full disk, memory
    damaged,        // anything else, which for a valid statement means the file: not a database,
                    // corrupt, a malformed schema, a format this SQLite does not know
};

class SqliteDatabase {
public:
    enum class Access {
        readWrite, // reading and writing, making the file when missing
        readOnly,  // reading only, seeing other connections' changes
        snapshot,  // reading only, without the shared-memory file (where it cannot be made)
    };
    // How connections keep each other out.
    enum class Locking {
        recordLocks, // POSIX record locks on the file (fcntl)
        // A folder "<file>.lock" made for each transaction, for a file system without record
        // locks: every connection to the file must lock it this way. It has no shared-memory
        // file, so the WAL journal cannot be used. Its owner is recorded in it, and a folder
        // whose owner has ended is broken (LockFolderFiles.hpp).
        lockFolder,
    };

    // Opens the database file; check ok(). A statement that finds the database locked by
    // another connection retries for `busyWait` before it fails as busy. Once `stop` (when
    // given; it must outlive the connection) is set, a statement running or waiting for a
    // lock ends soon, failing as interrupted (unavailable).
    SqliteDatabase(const std::filesystem::path& file, Access access,
                   std::chrono::milliseconds busyWait, const std::atomic<bool>* stop = nullptr,
                   Locking locking = Locking::recordLocks);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // The longest path of a database file SQLite opens, in bytes.
    static std::size_t longestPath();

    bool ok() const { return database_ != nullptr; }
    // The last error's message, and its kind.
    std::string error() const;
    SqliteFault fault() const;
    // When the last error was a file that could not be opened (the database's own or one of
    // its journal files): the errno of that open, which says more than SQLite's "unable to open
    // database file". 0 otherwise.
    int openErrno() const;
    // Whether the connection can only read (asked for, or the file is write-protected).
    bool readOnly() const;

    // Whether the connection was asked to stop.
    bool stopped() const { return busy_.stop != nullptr && busy_.stop->load(); }

    // Runs statements that return no rows.
    bool execute(std::string_view sql);
    // The same, failing at once as busy where another connection holds a lock.
    bool executeWithoutWaiting(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(database_, sql); }
    // Rows the last INSERT, UPDATE or DELETE changed.
    int changes() const;
    // The first column of the first row of a query, as text; nothing on an error.
    std::optional<std::string> queryText(std::string_view sql);

private:
    // How a statement waits for another connection's lock.
    struct BusyWait {
        std::chrono::milliseconds limit{};
        const std::atomic<bool>* stop = nullptr;
        std::chrono::steady_clock::time_point since; // when the current wait began
    };
    static int onBusy(void* wait, int attempts);

    sqlite3* database_ = nullptr;
    std::string openError_;
    SqliteFault openFault_ = SqliteFault::none;
    int openErrno_ = 0; // of a connection that did not open
    BusyWait busy_;
};

} // namespace qv::platform::detail
