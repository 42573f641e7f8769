#include "platform/photos/detail/LibraryIndex.hpp"

#include "platform/console/Console.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/store/SetAside.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

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
PRAGMA user_version = 1;
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

// Whether the database is an intact index of ours (or a new, empty file): its pages and
// indexes agree, and its definitions are exactly ours, so every statement of ours works.
bool isSound(SqliteDatabase& database) {
    if (database.queryText("PRAGMA integrity_check") != "ok") {
        return false;
    }
    const std::optional<std::string> version = database.queryText("PRAGMA user_version");
    const std::optional<std::string> schema = schemaText(database);
    if (version == "0" && schema == "") {
        return true;
    }
    SqliteDatabase reference(":memory:");
    return version == std::to_string(kSchemaVersion) && reference.execute(kSchema) && schema &&
           schema == schemaText(reference);
}

bool prepareSchema(SqliteDatabase& database) {
    return database.queryText("PRAGMA journal_mode = WAL") == "wal" &&
           database.execute("PRAGMA synchronous = FULL") && database.execute(kSchema);
}

void setIndexAside(const std::filesystem::path& file, const std::string& problem) {
    std::error_code error;
    const std::filesystem::path aside = setAside(file, error);
    for (const char* journal : {"-wal", "-shm"}) {
        std::error_code ignored;
        std::filesystem::path from = file;
        from += journal;
        std::filesystem::path to = aside;
        to += journal;
        if (!error && std::filesystem::exists(from, ignored)) {
            std::filesystem::rename(from, to, ignored);
        }
    }
    print("The photo library's index " + file.string() + " is damaged (" + problem + "); " +
          (error ? "it could not be moved aside (" + error.message() + ")"
                 : "moved it to " + aside.string()) +
          " and rebuilding it from the library's files");
}

} // namespace

LibraryIndex::LibraryIndex(std::filesystem::path folder, std::unique_ptr<SqliteDatabase> database)
    : folder_(std::move(folder)), database_(std::move(database)) {}

std::unique_ptr<LibraryIndex> LibraryIndex::open(const std::filesystem::path& folder,
                                                 bool& rebuilt) {
    const std::filesystem::path file = folder / "library.sqlite";
    rebuilt = false;
    auto database = std::make_unique<SqliteDatabase>(file);
    if (!database->ok() || !isSound(*database) || !prepareSchema(*database)) {
        const std::string problem = database->error();
        database.reset();
        setIndexAside(file, problem.empty() ? "it is not an index of this app" : problem);
        rebuilt = true;
        database = std::make_unique<SqliteDatabase>(file);
        if (!database->ok() || !prepareSchema(*database)) {
            print("The photo library's index " + file.string() +
                  " cannot be made: " + database->error());
            return nullptr;
        }
    }
    return std::unique_ptr<LibraryIndex>(new LibraryIndex(folder, std::move(database)));
}

bool LibraryIndex::insert(const Asset& asset, const std::vector<std::uint8_t>& thumbnailJpeg) {
    SqliteStatement statement = database_->prepare(
        "INSERT INTO assets (identifier, file, creation_date, size, kind, pixel_width, "
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

bool LibraryIndex::remove(const std::string& localIdentifier) {
    SqliteStatement statement = database_->prepare("DELETE FROM assets WHERE identifier = ?");
    statement.bind(1, localIdentifier);
    statement.step();
    return statement.done();
}

std::vector<Asset> LibraryIndex::allAssets() {
    SqliteStatement statement = database_->prepare(
        "SELECT identifier, file, creation_date, size, pixel_width, pixel_height, orientation, "
        "latitude, longitude, altitude, original_name FROM assets "
        "ORDER BY creation_date DESC, id DESC");
    std::vector<Asset> assets;
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
    SqliteStatement statement =
        database_->prepare("SELECT thumbnail FROM assets WHERE identifier = ?");
    statement.bind(1, localIdentifier);
    return statement.step() ? statement.blob(0) : std::vector<std::uint8_t>();
}

} // namespace qv::platform::detail
