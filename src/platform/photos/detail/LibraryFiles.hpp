#pragma once
// Internal: the picture files of a library folder ("<yyyy>/<MM>/<name>").
//
// A file counts as gone only when its month folder was read and the file is not in it, nor is
// a copy of it in progress. A folder that cannot be read now (no permission, missing, a link to
// a disk that is not mounted) proves nothing about the files in it.

#include "platform/photos/Asset.hpp"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qv::platform::detail {

// Whether `file` has the form of a library file of `folder`: "<folder>/<yyyy>/<MM>/<name>",
// not a temporary name. Says nothing about whether it is there.
bool isLibraryPath(const std::filesystem::path& folder, const std::filesystem::path& file);

// A look at the year and month folders of a library.
class LibraryListing {
public:
    // Lists the year and month folders of `folder`. Temporary files of copies are not
    // listed; those whose writer is gone are removed on the way (TemporaryFiles.hpp), those
    // of a copy in progress (in this process or another) are left.
    explicit LibraryListing(std::filesystem::path folder);

    // The regular picture files found, sorted.
    const std::vector<std::filesystem::path>& files() const { return files_; }

    enum class Presence {
        present, // there (in the listing, or come since)
        // Not there yet: a live writer is copying it in (its temporary file is held). A save
        // adds its row before its copy gets its name, so an opening meanwhile keeps the row.
        copying,
        // Proven gone: its month folder was read without it, it is not there now, and no
        // writer that is still there is copying it (a save killed before its copy had its name).
        gone,
        unchecked, // its year or month folder cannot be read now
    };
    // Where `file` (a library path: isLibraryPath) stands.
    Presence presence(const std::filesystem::path& file) const;

    // For an unchecked file: the folder that cannot be read (its year or month folder), and
    // why, as the end of a sentence ("Permission denied", "it is missing").
    std::pair<std::filesystem::path, std::string> obstacle(const std::filesystem::path& file) const;

    // Year and month folders found in the listing that could not be read, with why.
    const std::map<std::filesystem::path, std::string>& unreadable() const { return unreadable_; }

private:
    std::filesystem::path folder_;
    std::vector<std::filesystem::path> files_;
    std::set<std::filesystem::path> listedYears_;
    std::set<std::filesystem::path> listedMonths_;
    std::map<std::filesystem::path, std::string> unreadable_;
};

// Which rows of an index stand for files that are there, which are proven gone, and which
// files have no row.
struct RowsAgainstFiles {
    std::vector<std::string> gone;             // identifiers of rows whose file is gone
    std::vector<std::filesystem::path> loose;  // files without a row, sorted
    std::map<std::filesystem::path, int> kept; // rows kept unchecked, by the folder in the way
    std::map<std::filesystem::path, std::string> why; // why each of those folders cannot be read
};

// A row is gone when its file lies outside the library's year and month folders, or its
// month folder was read and the file is not in it (nor being copied in). A row whose folder
// cannot be read now (no permission, missing, behind a link to a disk that is not mounted), or
// whose file a live writer is still copying in, is kept as it is.
RowsAgainstFiles compareRows(const std::filesystem::path& folder, const std::vector<Asset>& rows,
                             const LibraryListing& listing);

// One line for each folder that cannot be read, but those in `saidBefore`: the rows it keeps,
// or that pictures in it are not taken in.
void reportUnreadableFolders(const RowsAgainstFiles& rows,
                             const std::set<std::filesystem::path>& saidBefore);

} // namespace qv::platform::detail
