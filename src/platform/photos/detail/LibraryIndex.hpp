#pragma once
// Internal: the library's index, "library.sqlite" in the library's folder (WAL journal,
// schema version in user_version). One row per asset; the thumbnail is kept in the row,
// so a row and its thumbnail come and go together. Used on the library's queue only.

#include "platform/photos/Asset.hpp"
#include "platform/photos/detail/Sqlite.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::detail {

class LibraryIndex {
public:
    // Opens the index of `folder`. One that cannot be opened or fails its check is set
    // aside (with its journal files) with one line, and a new, empty one is made; then
    // `rebuilt` is true. Null when not even a new one can be made (one line says why).
    static std::unique_ptr<LibraryIndex> open(const std::filesystem::path& folder, bool& rebuilt);

    // Adds an asset; `asset.file` is taken relative to the folder. False on failure.
    bool insert(const Asset& asset, const std::vector<std::uint8_t>& thumbnailJpeg);
    bool remove(const std::string& localIdentifier);
    // Every asset, newest first (equal dates: the later added first).
    std::vector<Asset> allAssets();
    std::vector<std::uint8_t> thumbnail(const std::string& localIdentifier);
    std::string lastError() const { return database_->error(); }

private:
    LibraryIndex(std::filesystem::path folder, std::unique_ptr<SqliteDatabase> database);

    std::filesystem::path folder_;
    std::unique_ptr<SqliteDatabase> database_;
};

} // namespace qv::platform::detail
