#pragma once
// The photo library: pictures copied into the app's Photos folder, each under a new UUID
// in a folder of its year and month ("2024/03/<UUID>.DNG"), indexed in "library.sqlite"
// there (SQLite, WAL journal) with its creation date (Exif DateTimeOriginal, else when it
// was added), size, kind, {GPS} fix, original name and a thumbnail.
//
// Opening: a file left without a row (by a crash between the copy and the row) is adopted;
// temporary files of an interrupted copy are removed once their writer is gone (never those
// of a copy in progress in another process); rows whose file is proven gone are dropped (a
// row whose year or month folder cannot be read now is kept, with one line naming the
// folder); an index proven damaged is set aside with one line and rebuilt from the files.
// Files that cannot be read, or are larger than any picture (512 MB), are left out with one
// line each.
//
// Other processes may use the same library at once. An index another program holds (busy
// for longer than `busyWait`) or that cannot be read now is never set aside: the library has
// no index until the next change tries again, and changes fail as "not available now". A
// cause no later try gets past (a file where the library's folder goes, a folder where a
// journal file goes, a path too long for SQLite) is said once at the opening with what to
// change, and changes fail with the same words. An index that cannot be written (its file or
// its folder), or that a newer version of the app made, is opened for reading: fetches work
// (without rows whose file is proven gone), changes fail saying why.
//
// Access: the photo library's permission (Permissions.hpp), or denied while the fault
// switch says so (PhotoLibraryFaults.hpp). Without it fetches are empty and changes fail.
//
// Threads: safe to use from any thread. Opening, changes and observer calls run on the
// library's serial queue ("photo library"), in the order they were asked for.

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/permissions/PermissionStatus.hpp"
#include "platform/photos/FetchResult.hpp"
#include "platform/photos/PhotoLibraryChange.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

class Permissions;

class PhotoLibraryChangeObserver {
public:
    virtual ~PhotoLibraryChangeObserver() = default;
    // On the library's queue, after each change.
    virtual void photoLibraryDidChange(const PhotoLibraryChange& change) = 0;
};

class PhotoLibrary {
public:
    // The app's library, in the Photos folder, under the app's permissions.
    static PhotoLibrary& shared();

    // `busyWait`: how long a change waits for another program that holds the index (a second
    // app, sqlite3) before it fails as "not available now".
    PhotoLibrary(std::filesystem::path folder, Permissions& permissions,
                 std::chrono::milliseconds busyWait = std::chrono::seconds(3));
    ~PhotoLibrary();
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    PermissionStatus authorizationStatus() const;
    // Asks for read-write access (the prompt when not yet determined); the handler gets
    // the status on a queue of the permissions.
    void requestAuthorization(std::function<void(PermissionStatus)> handler);

    // Adds a copy of `file` as a new asset: the file is read (never changed or moved),
    // copied under a temporary name, flushed to the disk and linked to its name (never
    // replacing a file), then its row is added. On failure neither copy nor row remains.
    // `completion` gets (true, nothing) or (false, why) on the library's queue.
    using Completion = std::function<void(bool success, std::optional<std::string> error)>;
    void createAsset(std::filesystem::path file, Completion completion);

    // Every asset, newest first (equal dates: the later added first); empty without access.
    FetchResult fetchAssets() const;

    // Held weakly; registering an observer again changes nothing.
    void registerChangeObserver(const std::weak_ptr<PhotoLibraryChangeObserver>& observer);
    void unregisterChangeObserver(const PhotoLibraryChangeObserver* observer);

    // The stored thumbnail (JPEG, at most 512 pixels a side) of an asset; empty when there
    // is none. For the image manager; runs on the library's queue.
    std::vector<std::uint8_t> thumbnailJpeg(const Asset& asset) const;

    const std::filesystem::path& folder() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
