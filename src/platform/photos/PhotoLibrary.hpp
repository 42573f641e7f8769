#pragma once
// The photo library: pictures copied into the app's Photos folder, each under a new UUID
// in a folder of its year and month ("2024/03/<UUID>.DNG"), indexed in "library.sqlite"
// there (SQLite, WAL journal) with its creation date (Exif DateTimeOriginal, else when it
// was added), size, kind, {GPS} fix, original name and a thumbnail.
//
// Opening, on the library's queue from its construction on, never on the caller's thread: the
// index is opened and checked (an index proven damaged is set aside with one line and made
// anew); rows whose file is proven gone are dropped (a row whose year or month folder cannot be
// read now is kept, with one line naming the folder, and so is one whose copy is in progress,
// as below); temporary files of an interrupted copy are removed once their writer is gone
// (never those of a copy in progress in another process); the rows the index holds are
// published (fetches, observers). Then files without a row (an index made anew, a library
// copied from a backup) are taken in on the worker pool, reading only their tags (date, kind,
// size, orientation, fix; their thumbnail is made when first asked for), 32 files at a time on
// each lane, all the rows read so far in one transaction, and published at the end. Files that
// cannot be read, or are larger than any picture (512 MB), are left out with one line each.
// Changes asked for meanwhile run between those transactions. When the library ends (close()),
// its work stops within moments; rows already added stay, and the next opening takes the rest
// in.
//
// A folder that could not be read is looked at again at each change and fetch, and every 5 s
// on the library's queue and clock while it cannot be read (a change or fetch may never come):
// once it can be read, its files without a row are taken in and its rows go to observers as
// changed, so what shows them loads them again (rows whose file is not found in it stay until
// the next opening, which drops them).
//
// A save adds its row before its copy has its name: the copy is written whole under a temporary
// name (its writer holding the lock on it), the row goes in with the original name, then the
// copy is linked to its name. Killed before the row, the save left nothing in the index; killed
// after the name, the copy has its row and its name. Killed in between, the row's file never
// comes: an opening drops such a row once its writer is gone (the temporary file's lock free, or
// without locks its pid gone), so the picture counts as not saved (it is still where it was
// saved from), and keeps it while the writer lives, so another process opening meanwhile never
// drops a save in progress (LibraryFiles.hpp). A copy that cannot get its name takes its row
// away again; a row another process dropped meanwhile, seeing no lock on the copy (a process
// with locks beside one without, on a shared home), goes in again once the copy has its name.
// The other order, the copy named first, had the
// next start take a copy killed before its row in under its UUID, its original name lost; and
// the row first is the one order where the name is never to be guessed afterwards (the library
// does not know where pictures are saved from, and one there may be gone or renamed since).
//
// Other processes may use the same library at once; they order their openings by the lock
// file "library.sqlite.lock", so a damaged index is set aside by one of them only. An index
// another program holds (busy for longer than `busyWait`) or that cannot be read now is never
// set aside: one line says so, and the opening, or the taking in of the files without a row,
// is tried again 5 s after each try (on the library's queue and clock) and after each change,
// until it is done; without an index, changes fail as "not available now". A cause no later
// try gets past (a file where the library's folder goes, a folder where a journal file goes,
// a link there that can never be followed, a path too long for SQLite) is said once at the
// opening with what to change, and changes fail with the same words. An index that cannot be
// written (its file or its folder), or that a newer version of the app made (its schema
// version, read before anything else), is opened for reading: fetches work (without rows
// whose file is proven gone, or none where this version cannot read the newer rows), changes
// fail saying why. One that could not be written is looked at again every 5 s and at each
// change, and opened for writing (with one line) once its file and folder can be written.
//
// The index the library uses is the one on disk: before each change, after a save's write
// (before it is reported), at each timed try and at the library's end (close()) the path is
// compared with the file opened (device and inode). An index deleted (with its folder or not)
// or replaced (a backup renamed over it) is let go with one line, the one at the path opened or
// a new one made, the old one's rows whose file is still there added to it (so their original
// names stay), and the files still without a row taken in (at the end: none taken in, and
// nothing opened or made when there are no such rows). A save is reported once its row is in
// the index at the path, else it fails leaving neither copy nor row.
//
// On a file system without record locks (a probe lock fails with ENOLCK, ENOSYS, EOPNOTSUPP)
// the index is locked with SQLite's lock folders instead, said in one line; every process
// there does the same, and one with locks sharing the home locks so too, or the one without
// refuses while a WAL user may be live (LibraryIndex.hpp). A lock folder left by a process of
// this machine that has ended is broken, its change rolled back. Locks that stop while the
// index is open are found before each change (a probe lock, and after a change that failed):
// one line, and the index is opened again with its lock folder for that change.
//
// Access: the photo library's permission (Permissions.hpp), or denied while the fault
// switch says so (PhotoLibraryFaults.hpp). Without it fetches are empty and changes fail.
//
// Threads: safe to use from any thread; nothing waits for the opening. Opening, changes and
// observer calls run on the library's serial queue ("photo library"), in the order they were
// asked for; reading files to take them in runs on the worker pool.

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
    // close(), then the queue's end: changes not yet begun are dropped.
    ~PhotoLibrary();
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    // Ends the library's work and waits for it: the opening, a file being read to be taken
    // in, a statement running or waiting for another program's lock end within moments
    // (rows already added stay; the next opening takes the rest in), and a change asked
    // for from now on fails ("The photo library has ended"). Fetches still give what the
    // library held. Then an index deleted or replaced at its path since the last change has
    // the rows only it held put into the one at the path, with one line (its statements wait
    // for another program at most `busyWait`). For the end of the app, before its static
    // objects go: work still running then could use one already gone. Any thread but the
    // library's pool tasks.
    void close();

    PermissionStatus authorizationStatus() const;
    // Asks for read-write access (the prompt when not yet determined); the handler gets
    // the status on a queue of the permissions.
    void requestAuthorization(std::function<void(PermissionStatus)> handler);

    // Adds a copy of `file` as a new asset: the file is read (never changed or moved), copied
    // under a temporary name and flushed to the disk, its row added, and the copy linked to its
    // name (never replacing a file). On failure neither copy nor row remains.
    // `completion` gets (true, nothing) or (false, why) on the library's queue.
    using Completion = std::function<void(bool success, std::optional<std::string> error)>;
    void createAsset(std::filesystem::path file, Completion completion);

    // Every asset, newest first (equal dates: the later added first); empty without access.
    // What the library holds now: empty until the opening has read the index, without the
    // files still being taken in; observers hear when that changes. Never waits (a folder
    // that could not be read is looked at again on the library's queue).
    FetchResult fetchAssets() const;

    // Calls `handler` on the library's queue once the opening is over: the index read and the
    // files without a row taken in, or no index (or no taking in) to be had now; later tries
    // publish what they bring. Right away (on that queue) when it is over already; never when
    // the library is closed first.
    void whenOpened(std::function<void()> handler);

    // Held weakly; registering an observer again changes nothing.
    void registerChangeObserver(const std::weak_ptr<PhotoLibraryChangeObserver>& observer);
    void unregisterChangeObserver(const PhotoLibraryChangeObserver* observer);

    // The thumbnail (JPEG, at most 512 pixels a side) of an asset; empty when there is none.
    // An asset taken in without one gets it made from its file on the caller's thread (call
    // it off the main thread: the image manager does, on the worker pool) and kept.
    std::vector<std::uint8_t> thumbnailJpeg(const Asset& asset) const;

    const std::filesystem::path& folder() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
