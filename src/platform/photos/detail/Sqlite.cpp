#include "platform/photos/detail/Sqlite.hpp"

#include "platform/photos/detail/LockFolderFiles.hpp"
#include "platform/system/Url.hpp"

#include <algorithm>
#include <sqlite3.h>
#include <thread>
#include <utility>

namespace qv::platform::detail {

SqliteStatement::SqliteStatement(sqlite3* database, std::string_view sql) {
    if (database != nullptr) {
        sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &statement_,
                           nullptr);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

void SqliteStatement::bind(int index, std::string_view text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
}

void SqliteStatement::bind(int index, const std::vector<std::uint8_t>& blob) {
    if (blob.empty()) {
        sqlite3_bind_zeroblob(statement_, index, 0); // an empty blob, not NULL
        return;
    }
    sqlite3_bind_blob(statement_, index, blob.data(), static_cast<int>(blob.size()),
                      SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, std::nullopt_t) {
    sqlite3_bind_null(statement_, index);
}

bool SqliteStatement::step() {
    if (statement_ == nullptr) {
        done_ = false;
        return false;
    }
    const int result = sqlite3_step(statement_);
    done_ = result == SQLITE_DONE;
    return result == SQLITE_ROW;
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string SqliteStatement::text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text != nullptr
               ? std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
               : std::string();
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double SqliteStatement::real(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::vector<std::uint8_t> SqliteStatement::blob(int column) const {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, column));
    return data != nullptr ? std::vector<std::uint8_t>(data, data + size)
                           : std::vector<std::uint8_t>();
}

namespace {

SqliteFault faultOf(int code) {
    if (code == SQLITE_READONLY_DIRECTORY) {
        return SqliteFault::readOnlyFolder;
    }
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return SqliteFault::none;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
        return SqliteFault::busy;
    case SQLITE_READONLY:
        return SqliteFault::readOnly;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_NOMEM:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_INTERRUPT:
    case SQLITE_NOLFS:
    case SQLITE_ABORT:
        return SqliteFault::unavailable;
    default:
        return SqliteFault::damaged;
    }
}

// A file: URI for `file`.
std::string uriOf(const std::filesystem::path& file, const char* query) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return "file:" + percentEncoded((error ? file : absolute).string(), "/") + query;
}

} // namespace

int SqliteDatabase::onBusy(void* context, int attempts) {
    BusyWait& wait = *static_cast<BusyWait*>(context);
    const auto now = std::chrono::steady_clock::now();
    if (attempts == 0) {
        wait.since = now;
    }
    if ((wait.stop != nullptr && wait.stop->load()) || now - wait.since >= wait.limit) {
        return 0; // the statement fails as busy
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(5), wait.since + wait.limit - now));
    return 1;
}

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file, Access access,
                               std::chrono::milliseconds busyWait, const std::atomic<bool>* stop,
                               Locking locking)
    : busy_{busyWait, stop, {}} {
    // The file layer that locks with a folder beside the file (LockFolderFiles.hpp); null for
    // SQLite's default.
    const char* files = locking == Locking::lockFolder ? lockFolderFiles() : nullptr;
    sqlite3* database = nullptr;
    int result = SQLITE_OK;
    switch (access) {
    case Access::readWrite:
        result = sqlite3_open_v2(file.c_str(), &database,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, files);
        break;
    case Access::readOnly:
        result = sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, files);
        break;
    case Access::snapshot:
        result = sqlite3_open_v2(uriOf(file, "?immutable=1").c_str(), &database,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, files);
        break;
    }
    openFault_ = faultOf(result);
    if (result == SQLITE_OK) {
        database_ = database;
        sqlite3_busy_handler(database_, &SqliteDatabase::onBusy, &busy_);
        if (stop != nullptr) {
            // Checked every few thousand steps of SQLite's machine: a long check or read ends
            // soon after the stop.
            sqlite3_progress_handler(
                database_, 4096,
                [](void* flag) {
                    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
                },
                const_cast<std::atomic<bool>*>(stop));
        }
        // A file from elsewhere may not change the schema behind SQLite's back, nor run
        // functions with side effects from its schema.
        sqlite3_db_config(database_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(database_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    } else {
        openError_ = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(result);
        openErrno_ = database != nullptr && (result & 0xff) == SQLITE_CANTOPEN
                         ? sqlite3_system_errno(database)
                         : 0;
        sqlite3_close(database);
    }
}

std::size_t SqliteDatabase::longestPath() {
    // The default file system's limit on a full path, less room for the name of the file's
    // rollback journal ("-journal"), which SQLite makes from it: a longer path does not open.
    const sqlite3_vfs* files = sqlite3_vfs_find(nullptr);
    constexpr int journalSuffix = 8;
    return files != nullptr ? std::size_t(std::max(files->mxPathname - journalSuffix, 0)) : 0;
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close(database_);
}

std::string SqliteDatabase::error() const {
    return database_ != nullptr ? sqlite3_errmsg(database_) : openError_;
}

SqliteFault SqliteDatabase::fault() const {
    return database_ != nullptr ? faultOf(sqlite3_extended_errcode(database_)) : openFault_;
}

int SqliteDatabase::openErrno() const {
    if (database_ == nullptr) {
        return openErrno_;
    }
    return (sqlite3_extended_errcode(database_) & 0xff) == SQLITE_CANTOPEN
               ? sqlite3_system_errno(database_)
               : 0;
}

bool SqliteDatabase::readOnly() const {
    return database_ == nullptr || sqlite3_db_readonly(database_, "main") == 1;
}

bool SqliteDatabase::execute(std::string_view sql) {
    return database_ != nullptr && sqlite3_exec(database_, std::string(sql).c_str(), nullptr,
                                                nullptr, nullptr) == SQLITE_OK;
}

bool SqliteDatabase::executeWithoutWaiting(std::string_view sql) {
    const std::chrono::milliseconds limit = std::exchange(busy_.limit, {});
    const bool done = execute(sql);
    busy_.limit = limit;
    return done;
}

int SqliteDatabase::changes() const {
    return database_ != nullptr ? sqlite3_changes(database_) : 0;
}

std::optional<std::string> SqliteDatabase::queryText(std::string_view sql) {
    SqliteStatement statement = prepare(sql);
    if (!statement.step()) {
        return std::nullopt;
    }
    return statement.text(0);
}

} // namespace qv::platform::detail
