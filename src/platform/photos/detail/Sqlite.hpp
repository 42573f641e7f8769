#pragma once
// Internal: a thin owner of one SQLite connection and its statements. Nothing throws:
// failures come back as false or nothing, with the connection's message in error().

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

class SqliteDatabase {
public:
    // Opens (making it when missing) the database file; check ok().
    explicit SqliteDatabase(const std::filesystem::path& file);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    bool ok() const { return database_ != nullptr; }
    std::string error() const;

    // Runs statements that return no rows.
    bool execute(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(database_, sql); }
    // The first column of the first row of a query, as text; nothing on an error.
    std::optional<std::string> queryText(std::string_view sql);

private:
    sqlite3* database_ = nullptr;
    std::string openError_;
};

} // namespace qv::platform::detail
