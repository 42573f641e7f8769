#include "platform/photos/detail/LibraryFiles.hpp"

#include "platform/console/Console.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/stat.h>

namespace qv::platform::detail {

namespace {

namespace fs = std::filesystem;

bool isNumber(const std::string& text, std::size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) != 0;
           });
}

// Why `folder` cannot be listed, as the end of a sentence; `error` is what listing it gave.
std::string whyUnreadable(const fs::path& folder, const std::error_code& error) {
    struct stat entry {};
    if (::lstat(folder.c_str(), &entry) != 0) {
        return errno == ENOENT ? "it is missing" : std::strerror(errno);
    }
    if (S_ISLNK(entry.st_mode)) {
        std::error_code unreadable;
        const std::string target = quotedPath(fs::read_symlink(folder, unreadable));
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0) {
            return errno == ENOENT ? "it is a link to " + target + ", which is missing"
                                   : "it is a link to " + target + ", which cannot be reached (" +
                                         std::strerror(errno) + ")";
        }
        if (!S_ISDIR(status.st_mode)) {
            return "it is a link to " + target + ", which is not a folder";
        }
    } else if (!S_ISDIR(entry.st_mode)) {
        return "it is not a folder";
    }
    return error ? error.message() : "it changed while it was read";
}

// Calls `each` for every entry of `folder`; false (with why in `unreadable`) when the folder
// could not be read to its end.
bool listFolder(const fs::path& folder, std::map<fs::path, std::string>& unreadable,
                const std::function<void(const fs::directory_entry&)>& each) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        each(*it);
    }
    if (error) {
        unreadable[folder] = whyUnreadable(folder, error);
    }
    return !error;
}

// The entries of `folder` named with `digits` digits that are folders, links to folders, or
// links that lead nowhere now (a disk that is not mounted): the year or month folders.
std::vector<fs::path> numberedFolders(const fs::path& folder, std::size_t digits,
                                      std::map<fs::path, std::string>& unreadable, bool& listed) {
    std::vector<fs::path> found;
    listed = listFolder(folder, unreadable, [&](const fs::directory_entry& entry) {
        std::error_code notFolder;
        if (isNumber(entry.path().filename().string(), digits) &&
            (entry.is_directory(notFolder) || entry.is_symlink(notFolder))) {
            found.push_back(entry.path());
        }
    });
    return found;
}

// A file not in the listing looked for again: present, unchecked (it cannot be looked at now),
// or nothing when it is not there.
std::optional<LibraryListing::Presence> lookedForAgain(const fs::path& file) {
    struct stat status {};
    if (::lstat(file.c_str(), &status) == 0) {
        return LibraryListing::Presence::present;
    }
    return errno == ENOENT ? std::nullopt : std::optional(LibraryListing::Presence::unchecked);
}

} // namespace

bool isLibraryPath(const fs::path& folder, const fs::path& file) {
    const fs::path month = file.parent_path();
    const fs::path year = month.parent_path();
    const std::string name = file.filename().string();
    return year.parent_path() == folder && isNumber(year.filename().string(), 4) &&
           isNumber(month.filename().string(), 2) && !name.empty() && name != "." && name != ".." &&
           !isTemporaryName(name);
}

LibraryListing::LibraryListing(fs::path folder) : folder_(std::move(folder)) {
    bool listed = false;
    for (const fs::path& year : numberedFolders(folder_, 4, unreadable_, listed)) {
        const std::vector<fs::path> months = numberedFolders(year, 2, unreadable_, listed);
        if (!listed) {
            continue;
        }
        listedYears_.insert(year);
        for (const fs::path& month : months) {
            removeStaleTemporaryFiles(month);
            if (listFolder(month, unreadable_, [&](const fs::directory_entry& entry) {
                    std::error_code notFile;
                    if (entry.is_regular_file(notFile) &&
                        !isTemporaryName(entry.path().filename().string())) {
                        files_.push_back(entry.path());
                    }
                })) {
                listedMonths_.insert(month);
            }
        }
    }
    std::sort(files_.begin(), files_.end());
}

LibraryListing::Presence LibraryListing::presence(const fs::path& file) const {
    const fs::path month = file.parent_path();
    if (!listedMonths_.contains(month)) {
        return Presence::unchecked;
    }
    if (std::binary_search(files_.begin(), files_.end(), file)) {
        return Presence::present;
    }
    // Looked for again: another process may have added it since the listing. Its copy may be in
    // progress; when not, looked for once more, as a copy that got its name meanwhile let its
    // temporary file go only after.
    if (const std::optional<Presence> found = lookedForAgain(file)) {
        return *found;
    }
    if (isBeingWritten(file)) {
        return Presence::copying;
    }
    if (const std::optional<Presence> found = lookedForAgain(file)) {
        return *found;
    }
    struct stat status {};
    return ::stat(month.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? Presence::gone
                                                                          : Presence::unchecked;
}

std::pair<fs::path, std::string> LibraryListing::obstacle(const fs::path& file) const {
    const fs::path month = file.parent_path();
    const fs::path year = month.parent_path();
    for (const fs::path& folder : {folder_, year, month}) {
        if (const auto found = unreadable_.find(folder); found != unreadable_.end()) {
            return *found;
        }
    }
    // Not found when its parent was listed: missing, or changed since.
    const fs::path& blocked = listedYears_.contains(year) ? month : year;
    std::error_code error;
    fs::directory_iterator(blocked, error);
    return {blocked, whyUnreadable(blocked, error)};
}

RowsAgainstFiles compareRows(const fs::path& folder, const std::vector<Asset>& rows,
                             const LibraryListing& listing) {
    RowsAgainstFiles result;
    result.why = listing.unreadable();
    for (const auto& [unreadable, why] : listing.unreadable()) {
        result.kept.emplace(unreadable, 0);
    }
    std::set<fs::path> indexed;
    for (const Asset& asset : rows) {
        const auto presence = isLibraryPath(folder, asset.file) ? listing.presence(asset.file)
                                                                : LibraryListing::Presence::gone;
        switch (presence) {
        case LibraryListing::Presence::present:
            indexed.insert(asset.file);
            break;
        case LibraryListing::Presence::copying: // kept; its file, not listed, is no loose file
            break;
        case LibraryListing::Presence::gone:
            result.gone.push_back(asset.localIdentifier);
            break;
        case LibraryListing::Presence::unchecked: {
            indexed.insert(asset.file);
            auto [blocked, why] = listing.obstacle(asset.file);
            ++result.kept[blocked];
            result.why[blocked] = std::move(why);
            break;
        }
        }
    }
    std::copy_if(listing.files().begin(), listing.files().end(), std::back_inserter(result.loose),
                 [&](const fs::path& file) { return !indexed.contains(file); });
    return result;
}

void reportUnreadableFolders(const RowsAgainstFiles& rows,
                             const std::set<std::filesystem::path>& saidBefore) {
    for (const auto& [blocked, count] : rows.kept) {
        if (saidBefore.contains(blocked)) {
            continue;
        }
        const std::string start = "The photo library cannot read the folder " +
                                  quotedPath(blocked) + " (" + rows.why.at(blocked) + "); ";
        print(count == 0 ? start + "pictures in it are not taken in"
              : count == 1
                  ? start + "it keeps the 1 asset in it as it is"
                  : start + "it keeps the " + std::to_string(count) + " assets in it as they are");
    }
}

} // namespace qv::platform::detail
