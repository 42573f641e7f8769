#include "platform/photos/detail/LibraryIndex.hpp"

#include "platform/console/Console.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/LockFolder.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/files/SetAside.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/detail/IndexAgreement.hpp"
#include "platform/photos/detail/IndexLock.hpp"
#include "platform/photos/detail/IndexUsers.hpp"
#include "platform/photos/detail/JournalFiles.hpp"
#include "platform/photos/detail/RecordLocks.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv::platform::detail {

namespace {

constexpr int kSchemaVersion = 1;

constexpr std::string_view kSchema = R"(
CREATE TABLE IF NOT EXISTS assets (
    id INTEGER PRIMARY KEY,
    identifier TEXT NOT NULL UNIQUE,
    file TEXT NOT NULL UNIQUE,
    creation_date TEXT NOT NULL,
    size INTEGER NOT NULL,
    kind TEXT NOT NULL,
    pixel_width INTEGER NOT NULL,
    pixel_height INTEGER NOT NULL,
    orientation INTEGER NOT NULL,
    latitude REAL,
    longitude REAL,
    altitude REAL,
    original_name TEXT NOT NULL,
    thumbnail BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS assets_newest_first ON assets (creation_date DESC, id DESC);
)";

// Dates are kept as UTC text to the millisecond ("2024-03-14T21:30:05.250Z"): readable in
// sqlite3, and text order is date order.
std::string dateText(WallTime date) {
    static const DateFormatter formatter("yyyy-MM-dd'T'HH:mm:ss.SSS'Z'", DateFormatter::Zone::utc);
    return formatter.format(date);
}

// The date a row's text names; the zero date for text that names none, or a date beyond
// what a WallTime holds (a damaged row must not overflow the conversion).
WallTime dateFromText(const std::string& text) {
    std::tm parts{};
    int milliseconds = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec,
                    &milliseconds) != 7 ||
        milliseconds < 0) {
        return WallTime{};
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const auto seconds = std::chrono::seconds(::timegm(&parts));
    constexpr auto latest =
        std::chrono::duration_cast<std::chrono::seconds>(WallTime::duration::max());
    if (seconds >= latest || seconds <= -latest) {
        return WallTime{};
    }
    return WallTime(seconds + std::chrono::milliseconds(milliseconds));
}

std::string kindOf(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    return extension == ".DNG" ? "dng" : extension == ".JPG" ? "jpeg" : "tiff";
}

// The tables and indexes of a database, as SQLite keeps their definitions.
std::optional<std::string> schemaText(SqliteDatabase& database) {
    SqliteStatement statement =
        database.prepare("SELECT type, name, tbl_name, ifnull(sql, '') FROM sqlite_schema "
                         "ORDER BY name");
    std::string text;
    while (statement.step()) {
        for (int column = 0; column < 4; ++column) {
            text += statement.text(column) + '\n';
        }
    }
    return statement.done() ? std::optional(text) : std::nullopt;
}

// What a look at a database found.
struct Verdict {
    enum class Kind {
        sound,   // an intact index of ours
        fresh,   // a new, empty database: no tables, schema version 0
        newer,   // an intact index of a newer version of the app: to be read, never changed
        damaged, // proven unusable: not a database, corrupt, or definitions not ours
        failed,  // it could not be told, or used, now: busy, read-only, I/O, ...
    };
    Kind kind = Kind::sound;
    std::string problem;                   // for damaged and failed; for newer, why it only reads
    SqliteFault fault = SqliteFault::none; // for failed
    std::string remedy;                    // for failed: what to change, when no later try helps
    std::string rowsUnreadable; // for newer: why this version cannot read its rows (empty: it can)
};

Verdict damaged(std::string problem) {
    return {Verdict::Kind::damaged, std::move(problem), SqliteFault::damaged, {}, {}};
}

Verdict failed(std::string problem, SqliteFault fault, std::string remedy = {}) {
    return {Verdict::Kind::failed, std::move(problem), fault, std::move(remedy), {}};
}

// The verdict on the connection's last error: damage only when SQLite says so. A file that
// could not be opened is named by the errno of that open.
Verdict lastFailure(const SqliteDatabase& database) {
    const SqliteFault fault = database.fault();
    if (fault == SqliteFault::none) { // a query that gave no row, which ours always give
        return failed("SQLite gave no answer", SqliteFault::unavailable);
    }
    if (fault == SqliteFault::damaged) {
        return damaged(database.error());
    }
    if (const int cause = database.openErrno(); cause != 0) {
        const std::string why = std::generic_category().message(cause);
        return isLastingError({cause, std::generic_category()})
                   ? failed("it cannot be opened (" + why + ")", fault, "remove or rename it")
                   : failed(why, fault);
    }
    return failed(database.error(), fault);
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

constexpr std::string_view kSelectAssets =
    "SELECT identifier, file, creation_date, size, pixel_width, pixel_height, orientation, "
    "latitude, longitude, altitude, original_name FROM assets "
    "ORDER BY creation_date DESC, id DESC";
constexpr std::string_view kSelectThumbnail = "SELECT thumbnail FROM assets WHERE identifier = ?";

// Why this version's reads do not work on the index of a newer one; empty when they do:
// "assets" is a plain table (a view could run without end) with the columns read here, and
// SQLite can parse the definitions at all.
std::string whyRowsUnreadable(SqliteDatabase& database) {
    const std::optional<std::string> sql = database.queryText(
        "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = 'assets'");
    if (!sql && database.fault() != SqliteFault::none) {
        return database.error();
    }
    if (!sql || !sql->starts_with("CREATE TABLE")) {
        return "its assets are not a table";
    }
    for (const std::string_view read : {kSelectAssets, kSelectThumbnail}) {
        if (!database.prepare(read).valid()) {
            return database.error();
        }
    }
    return {};
}

// The schema version a text names, when it is a whole number.
std::optional<long long> versionNumber(const std::string& text) {
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(number)
                                                                    : std::nullopt;
}

// Whether the database is an intact index of ours, a new empty one, one of a newer version of
// the app, or proven damaged: its pages and indexes agree, and its definitions are exactly
// ours, so every statement of ours works. The schema version comes first: reading it needs no
// definitions, so an index of a newer version is known as such even where this version cannot
// parse its definitions or run SQLite's check on them (an index on a function it lacks), and
// it is never taken for damaged. A check that cannot run (the database is busy, or cannot be
// read now) proves nothing and fails.
Verdict checkReads(SqliteDatabase& database) {
    const std::optional<std::string> version = database.queryText("PRAGMA user_version");
    if (!version) {
        return lastFailure(database);
    }
    const std::string expected = std::to_string(kSchemaVersion);
    if (versionNumber(*version).value_or(0) > kSchemaVersion) {
        return {Verdict::Kind::newer,
                "it was made by a newer version of this app: schema version " + *version +
                    ", this one knows " + expected,
                SqliteFault::none,
                {},
                whyRowsUnreadable(database)};
    }
    const std::optional<std::string> integrity = database.queryText("PRAGMA integrity_check");
    if (!integrity) {
        return lastFailure(database);
    }
    if (*integrity != "ok") {
        return damaged("SQLite's integrity check found: " + firstLine(*integrity));
    }
    const std::optional<std::string> schema = schemaText(database);
    if (!schema) {
        return lastFailure(database);
    }
    if (schema->empty()) {
        return *version == "0" ? Verdict{Verdict::Kind::fresh, {}, SqliteFault::none, {}, {}}
                               : damaged("it has no tables but schema version " + *version);
    }
    if (*version != expected) {
        return damaged(*version == "0" ? "its tables carry no schema version"
                                       : "its schema version is " + *version + ", not " + expected);
    }
    SqliteDatabase reference(":memory:", SqliteDatabase::Access::readWrite, {});
    if (!reference.execute(kSchema) || schema != schemaText(reference)) {
        return damaged("its tables are not those of this app's index");
    }
    return {};
}

// The same, read in one transaction: all from one snapshot, so a commit of another connection
// between two reads (the tables of a new index, then its version) cannot show half a change.
Verdict check(SqliteDatabase& database) {
    if (!database.execute("BEGIN")) {
        return lastFailure(database);
    }
    const Verdict verdict = checkReads(database);
    database.execute("ROLLBACK"); // it only read
    return verdict;
}

using Locking = SqliteDatabase::Locking;

// Switches to the WAL journal (already so for an index of ours), or, under lock folders,
// which have no shared-memory file for it, to a rollback journal. Two connections switching
// a new database at once can each hold a lock the other waits for; SQLite then fails one of
// them at once instead of waiting, so it tries again until `busyWait` is over.
Verdict useJournal(SqliteDatabase& database, std::chrono::milliseconds busyWait, Locking locking) {
    const std::string wanted = locking == Locking::lockFolder ? "delete" : "wal";
    const auto deadline = std::chrono::steady_clock::now() + busyWait;
    for (;;) {
        const std::optional<std::string> mode =
            database.queryText("PRAGMA journal_mode = " + wanted);
        if (mode == wanted) {
            return {};
        }
        if (mode) {
            return failed("it cannot use a " + wanted + " journal, only " + *mode,
                          SqliteFault::unavailable);
        }
        const Verdict failure = lastFailure(database);
        if (failure.fault != SqliteFault::busy || database.stopped() ||
            std::chrono::steady_clock::now() >= deadline) {
            return failure;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Under lock folders an index in WAL mode cannot be read (there is no shared-memory file), but
// a connection holding the file alone can: it takes its lock folder, brings the journal's
// changes in and leaves WAL mode, then gives the lock back at its next statement. Failures
// are left for the check that follows to tell.
void leaveWal(SqliteDatabase& database) {
    database.execute("PRAGMA locking_mode = EXCLUSIVE");
    database.queryText("PRAGMA journal_mode = DELETE");
    database.execute("PRAGMA locking_mode = NORMAL");
}

// Makes the tables of a new index in one transaction that holds the write lock from its
// start, so that another connection sees either no tables or all of them with their schema
// version, never a part. One that finds them made meanwhile checks them instead.
Verdict createSchema(SqliteDatabase& database, std::chrono::milliseconds busyWait,
                     Locking locking) {
    if (const Verdict journal = useJournal(database, busyWait, locking);
        journal.kind != Verdict::Kind::sound) {
        return journal;
    }
    if (!database.execute("BEGIN IMMEDIATE")) {
        return lastFailure(database);
    }
    const std::optional<std::string> schema = schemaText(database);
    if (schema && !schema->empty()) {
        database.execute("ROLLBACK");
        return check(database);
    }
    if (schema &&
        database.execute(std::string(kSchema) +
                         "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";") &&
        database.execute("COMMIT")) {
        return {};
    }
    const Verdict failure = lastFailure(database);
    database.execute("ROLLBACK");
    return failure;
}

// Readies a sound index for writing: its journal and full syncs.
Verdict prepareForWriting(SqliteDatabase& database, std::chrono::milliseconds busyWait,
                          Locking locking) {
    if (const Verdict journal = useJournal(database, busyWait, locking);
        journal.kind != Verdict::Kind::sound) {
        return journal;
    }
    return database.execute("PRAGMA synchronous = FULL") ? Verdict{} : lastFailure(database);
}

// Moves the damaged index `judged` (the file the verdict was on; none when nothing was there
// then) and its journal files aside, with one line. When the path names another file now,
// nothing moves, nothing is said, and the error is fileReplacedSinceJudged(): what is there
// was never judged.
std::error_code setIndexAside(const std::filesystem::path& file,
                              const std::optional<FileIdentity>& judged,
                              const std::string& problem) {
    if (!judged) {
        return fileReplacedSinceJudged();
    }
    std::error_code error;
    const std::filesystem::path aside = setAside(file, *judged, error);
    if (error == fileReplacedSinceJudged()) {
        return error;
    }
    for (const char* journal : {"-wal", "-shm"}) {
        std::error_code ignored;
        std::filesystem::path from = file;
        from += journal;
        std::filesystem::path to = aside;
        to += journal;
        if (!error && std::filesystem::exists(from, ignored)) {
            renameWithoutReplacing(from, to);
        }
    }
    print("The photo library's index " + quotedPath(file) + " is damaged (" + problem + "); " +
          (error ? "it could not be moved aside (" + error.message() + ")"
                 : "moved it to " + quotedPath(aside) +
                       " and rebuilding it from the library's files"));
    return error;
}

struct Opened {
    std::unique_ptr<SqliteDatabase> database;
    Verdict verdict;
    std::string readOnly;               // why it only reads, when it does
    std::optional<FileIdentity> judged; // the file the verdict is on; none when nothing was there
};

// Why the index in `file` cannot be written as its permissions (or a read-only file system)
// say; empty when they allow it. SQLite also needs the folder, for its journal files.
std::string whyUnwritable(const std::filesystem::path& file) {
    const auto writable = [](const std::filesystem::path& path) {
        return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
    };
    return !writable(file.parent_path()) ? "its folder cannot be written"
           : !writable(file)             ? "its file cannot be written"
                                         : "";
}

// Whether the index in `file` could be opened for writing now: the file and its folder can be
// written, and so can its journal files, or they are this user's (and get the file's
// permissions at the opening).
bool writableNowAt(const std::filesystem::path& file) {
    if (!whyUnwritable(file).empty()) {
        return false;
    }
    for (const std::filesystem::path& journal : journalFiles(file)) {
        if (::faccessat(AT_FDCWD, journal.c_str(), W_OK, AT_EACCESS) != 0 &&
            !ownUnwritable(journal)) {
            return false;
        }
    }
    return true;
}

// Why the index in `file` cannot be written, when a write failed as read-only.
std::string whyReadOnly(const std::filesystem::path& file) {
    const std::string why = whyUnwritable(file);
    return why.empty() ? "it cannot be written" : why;
}

// Whether a connection cannot write, as `verdict` or the connection itself tells.
bool cannotWrite(const SqliteDatabase& database, const Verdict& verdict) {
    if (verdict.kind == Verdict::Kind::failed) {
        return verdict.fault == SqliteFault::readOnly ||
               verdict.fault == SqliteFault::readOnlyFolder;
    }
    return verdict.kind != Verdict::Kind::damaged && database.readOnly();
}

// Whether the file's first bytes prove it is no SQLite database: there are some, and they
// are not SQLite's header. Read by this process, so it holds also where SQLite can only see
// a snapshot of the file.
bool headerIsNotSqlite(const std::filesystem::path& file) {
    constexpr std::string_view header("SQLite format 3\0", 16);
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false; // unreadable proves nothing
    }
    struct stat status {};
    char start[header.size()];
    const ssize_t got = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
                            ? ::pread(fd, start, sizeof start, 0)
                            : -1;
    ::close(fd);
    return got > 0 && std::string_view(start, std::size_t(got)) != header;
}

// The verdict of a read-only connection, `access` after a connection that could read and
// write gave `earlier`. A snapshot sees the main file without its journal, so its word that
// the file is damaged proves nothing, unless the file's header does.
Verdict checkReadOnly(SqliteDatabase& database, const std::filesystem::path& file,
                      SqliteDatabase::Access access, const Verdict& earlier) {
    Verdict verdict = database.ok() ? check(database) : lastFailure(database);
    if (access != SqliteDatabase::Access::snapshot || verdict.kind != Verdict::Kind::damaged ||
        headerIsNotSqlite(file)) {
        return verdict;
    }
    if (whyUnwritable(file) == "its folder cannot be written") {
        return failed("its folder cannot be written, which SQLite needs to read the changes in "
                      "its journal",
                      SqliteFault::readOnlyFolder,
                      "allow writing in " + quotedPath(file.parent_path()));
    }
    return failed("SQLite cannot read the changes in its journal (" + earlier.problem + ")",
                  SqliteFault::unavailable);
}

// The index in `file`, opened, checked and ready for writing; else, when it cannot be
// written (or belongs to a newer version of the app), opened for reading only, with why.
Opened openFile(const std::filesystem::path& file, std::chrono::milliseconds busyWait,
                const std::atomic<bool>* stop, Locking locking) {
    // Taken before anything is read: a file put in its place later is never taken for the one
    // judged, so it is never set aside on this verdict.
    std::error_code error;
    const std::optional<FileIdentity> judged = identityAt(file, error);
    const auto status = std::filesystem::status(file, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return {nullptr, damaged("it is not a regular file"), {}, judged}; // a FIFO would block
    }
    if (whyUnwritable(file).empty()) {
        giveJournalFilesTheIndexMode(file);
    }
    Opened opened{std::make_unique<SqliteDatabase>(file, SqliteDatabase::Access::readWrite,
                                                   busyWait, stop, locking),
                  {},
                  {},
                  judged};
    SqliteDatabase& database = *opened.database;
    if (locking == Locking::lockFolder && database.ok()) {
        leaveWal(database);
    }
    opened.verdict = database.ok() ? check(database) : lastFailure(database);
    if (!judged && opened.verdict.kind == Verdict::Kind::failed) {
        // Nothing was there to make or read. SQLite tries to read a file it could not make, so
        // its word is the missing file's: the cause is why the folder cannot be written.
        if (::faccessat(AT_FDCWD, file.parent_path().c_str(), W_OK, AT_EACCESS) != 0) {
            opened.verdict.problem = std::generic_category().message(errno);
        }
        return opened;
    }
    if (database.ok() && !database.readOnly() && whyUnwritable(file).empty()) {
        if (opened.verdict.kind == Verdict::Kind::fresh) {
            opened.verdict = createSchema(database, busyWait, locking);
        } else if (opened.verdict.kind == Verdict::Kind::sound) {
            opened.verdict = prepareForWriting(database, busyWait, locking);
        }
    }
    if (opened.verdict.kind == Verdict::Kind::newer || cannotWrite(database, opened.verdict) ||
        (opened.verdict.kind != Verdict::Kind::damaged && !whyUnwritable(file).empty())) {
        opened.readOnly = whyReadOnly(file);
        // Read what can be read: with the shared-memory file when it can be used, else
        // (a folder where it cannot be made) as a snapshot. Another connection's lock is
        // waited for, never read around.
        Verdict earlier = opened.verdict;
        for (const auto access :
             {SqliteDatabase::Access::readOnly, SqliteDatabase::Access::snapshot}) {
            opened.database =
                std::make_unique<SqliteDatabase>(file, access, busyWait, stop, locking);
            opened.verdict = checkReadOnly(*opened.database, file, access, earlier);
            if (opened.verdict.kind != Verdict::Kind::failed ||
                opened.verdict.fault == SqliteFault::busy) {
                break;
            }
            earlier = opened.verdict;
        }
        if (opened.verdict.kind == Verdict::Kind::newer) {
            opened.readOnly = opened.verdict.problem;
        }
    }
    return opened;
}

// Removes the library's lock file beside `file` when it is a regular file: SQLite's lock folder
// takes that name. Where there are no record locks no process can hold a lock on it.
void removeLockFile(const std::filesystem::path& file) {
    std::error_code error;
    const Folder folder = Folder::open(file.parent_path(), error);
    const std::string lockFile = file.filename().native() + ".lock";
    const std::optional<struct stat> status = folder.statusOf(lockFile, error);
    if (status && S_ISREG(status->st_mode)) {
        folder.remove(lockFile);
    }
}

// Who holds the lock folder of the index `file`, after a statement found it busy: one left by
// a process of this machine that has ended is broken by the next lock; one that stays is named
// with its owner, or as naming none.
std::string lockFolderHolder(const std::filesystem::path& file) {
    return ": its lock folder " + whyHeld(file.string() + ".lock");
}

// A problem with the place of the index in `folder` that no later try gets past, and what to
// change: something other than a folder on the way to it, something other than a file where
// its journal files go, a link there that leads nowhere it ever can (a loop, through a file),
// a path longer than SQLite opens.
std::optional<Verdict> lastingProblem(const std::filesystem::path& folder) {
    const auto lasting = [](std::string problem, std::string remedy) {
        return failed(std::move(problem), SqliteFault::unavailable, std::move(remedy));
    };
    const auto cannotBeOpened = [&](const std::string& what) {
        return lasting(what + " cannot be opened (" + std::generic_category().message(errno) + ")",
                       "remove or rename it");
    };
    std::filesystem::path way;
    for (const std::filesystem::path& part : folder) {
        way /= part;
        struct stat status {};
        if (::stat(way.c_str(), &status) != 0) {
            if (isLastingError({errno, std::generic_category()})) {
                return cannotBeOpened(quotedPath(way));
            }
            break; // missing from here on (made below), or beyond what can be seen now
        }
        if (!S_ISDIR(status.st_mode)) {
            return lasting(quotedPath(way) + " is not a folder", "remove or rename it");
        }
    }
    const std::filesystem::path file = folder / "library.sqlite";
    for (const char* journal : {"", "-wal", "-shm"}) {
        std::filesystem::path each = file;
        each += journal;
        struct stat status {};
        if (::stat(each.c_str(), &status) != 0) {
            if (isLastingError({errno, std::generic_category()})) {
                return cannotBeOpened(each == file ? "it" : quotedPath(each));
            }
        } else if (each != file && !S_ISREG(status.st_mode)) {
            return lasting(quotedPath(each) + (S_ISDIR(status.st_mode) ? " is a folder, not a file"
                                                                       : " is not a regular file"),
                           "remove or rename it");
        }
    }
    std::error_code error;
    const std::size_t length = std::filesystem::absolute(file, error).native().size();
    if (length > SqliteDatabase::longestPath()) {
        return lasting("its path is longer than SQLite can open (" + std::to_string(length) +
                           " characters, at most " + std::to_string(SqliteDatabase::longestPath()) +
                           ")",
                       "give the app a home with a shorter path");
    }
    return std::nullopt;
}

} // namespace

void LibraryIndex::becameReadOnly() {
    if (readOnlyReason_.empty()) {
        readOnlyReason_ = whyReadOnly(folder_ / "library.sqlite");
    }
}

bool LibraryIndex::mayBecomeWritable() const {
    return !readOnlyReason_.empty() && !newer_;
}

bool LibraryIndex::writableAgain() const {
    return mayBecomeWritable() && writableNowAt(folder_ / "library.sqlite");
}

bool LibraryIndex::goneFromItsPath() const {
    std::error_code error;
    const std::optional<FileIdentity> now = identityAt(folder_ / "library.sqlite", error);
    if (!now) {
        return error == std::errc::no_such_file_or_directory; // else it cannot be told now
    }
    return !identity_ || *now != *identity_;
}

LibraryIndex::LibraryIndex(std::filesystem::path folder, std::unique_ptr<IndexUsers> users,
                           Locking locking, std::unique_ptr<SqliteDatabase> database,
                           std::string readOnlyReason, bool newer, std::string rowsUnreadable)
    : folder_(std::move(folder)), users_(std::move(users)), locking_(locking),
      database_(std::move(database)), readOnlyReason_(std::move(readOnlyReason)), newer_(newer),
      rowsUnreadable_(std::move(rowsUnreadable)) {
    // Taken once the connection has the file open: what the path names from now on is
    // compared with it.
    std::error_code error;
    identity_ = identityAt(folder_ / "library.sqlite", error);
}

std::string LibraryIndex::lastError() const {
    std::string error = database_->error();
    if (locking_ == Locking::lockFolder && database_->fault() == SqliteFault::busy) {
        error += lockFolderHolder(folder_ / "library.sqlite");
    }
    return error;
}

LibraryIndex::~LibraryIndex() {
    database_.reset();
    users_->closed();
}

bool LibraryIndex::insertAll(const std::vector<Asset>& assets) {
    if (!begin()) {
        return false;
    }
    for (const Asset& asset : assets) {
        if (!insert(asset, {}, OnConflict::keep)) {
            rollback();
            return false;
        }
    }
    if (!commit()) {
        rollback();
        return false;
    }
    return true;
}

LibraryIndex::Opening LibraryIndex::open(const std::filesystem::path& folder,
                                         std::chrono::milliseconds busyWait,
                                         const std::atomic<bool>* stop) {
    if (const std::optional<Verdict> lasting = lastingProblem(folder)) {
        return {nullptr, lasting->problem, lasting->remedy, {}, {}};
    }
    std::error_code notMade;
    ensureFolder(folder, notMade);
    if (notMade) {
        // The cause of the step that failed (no permission to make the folder, say), not the
        // missing folder's that opening a file in it would give.
        return {nullptr, notMade.message(), {}, {}, {}};
    }
    const std::filesystem::path file = folder / "library.sqlite";
    removeLeftProbes(folder);
    const std::optional<std::error_code> noRecordLocks = recordLocksMissing(folder);
    auto users = std::make_unique<IndexUsers>(file);
    Agreement agreement = agreeWithOtherUsers(
        *users, file, noRecordLocks ? Locking::lockFolder : Locking::recordLocks);
    if (!agreement.refusal.empty()) {
        return {nullptr, std::move(agreement.refusal), std::move(agreement.remedy), noRecordLocks,
                std::move(agreement.notices)};
    }
    const Locking locking = agreement.locking;
    // Held until the index is open. Where the index is locked with lock folders, every process
    // of the library goes without it (none of them can take it, or all lock with folders
    // anyway): its file would take the name of SQLite's lock folder, so one left there by an
    // earlier opening is removed.
    std::optional<IndexLock> lock;
    if (locking == Locking::lockFolder) {
        removeLockFile(file);
    } else {
        lock.emplace(file, busyWait, stop);
        if (!lock->heldElsewhere().empty()) {
            return {nullptr, lock->heldElsewhere(), {}, {}, std::move(agreement.notices)};
        }
    }
    const auto opening = [&](std::unique_ptr<LibraryIndex> index, std::string problem,
                             std::string remedy) {
        return Opening{std::move(index), std::move(problem), std::move(remedy), noRecordLocks,
                       std::move(agreement.notices)};
    };
    // Another program (not this app, which takes the lock) may replace the file between a
    // verdict and the move: what is there then is judged anew, a few times at most.
    constexpr int kVerdicts = 4;
    bool madeAnew = false;
    for (int verdicts = 1;; ++verdicts) {
        Opened opened = openFile(file, busyWait, stop, locking);
        switch (opened.verdict.kind) {
        case Verdict::Kind::sound:
        case Verdict::Kind::fresh: // a new index that cannot be written: empty and read-only
        case Verdict::Kind::newer:
            return opening(
                std::unique_ptr<LibraryIndex>(new LibraryIndex(
                    folder, std::move(users), locking, std::move(opened.database), opened.readOnly,
                    opened.verdict.kind == Verdict::Kind::newer, opened.verdict.rowsUnreadable)),
                opened.readOnly, {});
        case Verdict::Kind::failed:
            if (locking == Locking::lockFolder && opened.verdict.fault == SqliteFault::busy) {
                opened.verdict.problem += lockFolderHolder(file);
            }
            return opening(nullptr, opened.verdict.problem, opened.verdict.remedy);
        case Verdict::Kind::damaged: {
            opened.database.reset();
            if (madeAnew) {
                return opening(
                    nullptr,
                    "a new index made there is damaged too (" + opened.verdict.problem + ")", {});
            }
            const std::error_code error =
                setIndexAside(file, opened.judged, opened.verdict.problem);
            if (error == fileReplacedSinceJudged() && verdicts < kVerdicts) {
                break;
            }
            if (error) {
                return opening(nullptr, "it is damaged (" + opened.verdict.problem + ")", {});
            }
            madeAnew = true;
            break;
        }
        }
    }
}

bool LibraryIndex::insert(const Asset& asset, const std::vector<std::uint8_t>& thumbnailJpeg,
                          OnConflict onConflict) {
    SqliteStatement statement = database_->prepare(
        std::string(onConflict == OnConflict::keep ? "INSERT OR IGNORE" : "INSERT OR REPLACE") +
        " INTO assets (identifier, file, creation_date, size, kind, pixel_width, "
        "pixel_height, orientation, latitude, longitude, altitude, original_name, thumbnail) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    statement.bind(1, asset.localIdentifier);
    statement.bind(2, asset.file.lexically_relative(folder_).string());
    statement.bind(3, dateText(asset.creationDate));
    statement.bind(4, static_cast<std::int64_t>(asset.fileSize));
    statement.bind(5, kindOf(asset.file));
    statement.bind(6, std::int64_t{asset.pixelWidth});
    statement.bind(7, std::int64_t{asset.pixelHeight});
    statement.bind(8, static_cast<std::int64_t>(asset.orientation));
    if (asset.location) {
        statement.bind(9, asset.location->coordinate.latitude);
        statement.bind(10, asset.location->coordinate.longitude);
        statement.bind(11, asset.location->altitude);
    } else {
        for (int i = 9; i <= 11; ++i) {
            statement.bind(i, std::nullopt);
        }
    }
    statement.bind(12, asset.originalFilename);
    statement.bind(13, thumbnailJpeg);
    statement.step();
    return statement.done();
}

bool LibraryIndex::writableNow() {
    if (!database_->executeWithoutWaiting("BEGIN IMMEDIATE")) {
        return false;
    }
    rollback();
    return true;
}

bool LibraryIndex::begin() {
    return database_->execute("BEGIN IMMEDIATE");
}

bool LibraryIndex::commit() {
    return database_->execute("COMMIT");
}

void LibraryIndex::rollback() {
    database_->execute("ROLLBACK");
}

bool LibraryIndex::storeThumbnail(const std::string& localIdentifier,
                                  const std::vector<std::uint8_t>& thumbnailJpeg) {
    SqliteStatement statement = database_->prepare(
        "UPDATE assets SET thumbnail = ? WHERE identifier = ? AND length(thumbnail) = 0");
    statement.bind(1, thumbnailJpeg);
    statement.bind(2, localIdentifier);
    statement.step();
    return statement.done();
}

bool LibraryIndex::remove(const std::string& localIdentifier) {
    SqliteStatement statement = database_->prepare("DELETE FROM assets WHERE identifier = ?");
    statement.bind(1, localIdentifier);
    statement.step();
    return statement.done();
}

bool LibraryIndex::lacks(const std::string& localIdentifier) {
    SqliteStatement statement = database_->prepare("SELECT 1 FROM assets WHERE identifier = ?");
    statement.bind(1, localIdentifier);
    return !statement.step() && statement.done();
}

std::vector<Asset> LibraryIndex::allAssets() {
    std::vector<Asset> assets;
    if (!rowsUnreadable_.empty()) {
        return assets;
    }
    SqliteStatement statement = database_->prepare(kSelectAssets);
    while (statement.step()) {
        Asset asset;
        asset.localIdentifier = statement.text(0);
        asset.file = folder_ / statement.text(1);
        asset.creationDate = dateFromText(statement.text(2));
        asset.fileSize = static_cast<std::uintmax_t>(statement.integer(3));
        asset.pixelWidth = static_cast<int>(statement.integer(4));
        asset.pixelHeight = static_cast<int>(statement.integer(5));
        asset.orientation =
            static_cast<ImageOrientation>(std::clamp<std::int64_t>(statement.integer(6), 1, 8));
        if (!statement.isNull(7)) {
            asset.location = Location{
                {statement.real(7), statement.real(8)}, statement.real(9), asset.creationDate};
        }
        asset.originalFilename = statement.text(10);
        assets.push_back(std::move(asset));
    }
    return assets;
}

std::vector<std::uint8_t> LibraryIndex::thumbnail(const std::string& localIdentifier) {
    if (!rowsUnreadable_.empty()) {
        return {};
    }
    SqliteStatement statement = database_->prepare(kSelectThumbnail);
    statement.bind(1, localIdentifier);
    return statement.step() ? statement.blob(0) : std::vector<std::uint8_t>();
}

} // namespace qv::platform::detail
