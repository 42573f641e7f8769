#pragma once
// A small JSON object kept in a file that several processes may share and each rewrites from
// what it holds (the settings, the permissions): read once at opening, changed in memory at
// once, written behind the caller on a serial queue of its own.
//
// Links: the file may be a symbolic link (a chain of them), into a "dotfiles" folder say. It
// is then read from the regular file its links end at, and written there: the temporary file
// is made and renamed in that file's own folder (AtomicFile.hpp, TemporaryFiles.hpp: its
// stale leftovers there are cleaned at opening), so the links stay. The lock stays
// "<name>.lock" beside the name the owner gives, which every process opens the same way.
//
// Opening: a missing file is an empty object. Only a file proven bad is set aside (renamed to
// "<name>.corrupt_<UTC date>", SetAside.hpp) with one line ("...; moved it to '...' and using
// the default settings"), and the object starts empty: one that is not a regular file (a
// FIFO, a device, a folder: never opened in a way that could block), is larger than its
// bound, nests arrays and objects deeper than its bound, is not a JSON object, or fails the
// owner's check. A link that leads to no regular file (a loop, a link to a FIFO, a device or a
// folder, more than 40 links) is such a file itself: the link is set aside, never what it
// points to (a link that leads back to itself is set aside as a link to its own aside name,
// so that it never leads to the file written next). A link whose target is missing is not:
// the object starts empty and the first write makes the file at the target, through the link.
// When the target's folder is not there either (a disk not mounted), one line says so at
// opening ("..., whose folder '<folder>' is not there; ..."), nothing is written and no folder
// made, and the changes are written there by the first write after the folder is back. Where the
// links end at a regular file that is bad, that file is set aside beside itself and an empty object
// takes its place, so the links keep leading to a file. The verdict that sets a file aside is
// reached again under the lock, on the file as it is then, and only the file judged (its device and
// inode) is moved: a file another process has written meanwhile is never set aside. A file that
// cannot be read now (no permission, an I/O error, no file descriptors or memory left) proves
// nothing: it is left as it is, one line says so, the object starts empty for this run, no
// change of this run is written to it (one line says so at the first), and the next opening
// reads it again. A cause no later try gets past (a name too long, a folder on the way that
// is a link loop: isLastingError) is said without "now" and is otherwise the same.
//
// Writing: a change (set, erase) is seen by every read at once and queued; the write takes
// the advisory lock "<name>.lock" beside the file (FileLock.hpp: waited for at most a second,
// then written without it, with one line; where the file system has no flock, the lock folder
// "<name>.lockdir" instead, the same way), reads the
// file as it is now, gives the keys changed here their values (or removes them) and writes it
// atomically (AtomicFile.hpp); every other key keeps what another process may have written there.
// Without a usable file (missing, or set aside as proven bad: "...; moved it to '...'; the app
// keeps the settings it has") the whole object is written. A bad file that cannot be set aside
// stays, and nothing is written over it. Changes made while a write is queued or under way are
// written together by the next one, so a burst of changes costs one or two writes. A write that
// fails (the folder cannot be made: its cause; a full disk; the file cannot be read now) says so
// once per reason (console/FailureLines.hpp); its changes hold for this run and are written again
// with the next write. A line about a failed write names the file written: the links' target when
// the file is kept as a link. flush() writes what is pending on the caller's thread; the destructor
// flushes, and flushAll() flushes every open file (the app's end). Changes the app's end cannot
// write (the links' folder not there, a file that cannot be read, a failed write) end with the
// process: flushAll() names them in one line per file, with the file they were to go to
// ("Quitting without saving the settings "fileFormat", "totalTime" to '<file>': these changes
// are lost"), said once for the same changes however often the end flushes.
//
// Threads: every member function is safe from any thread; reads and changes never wait for
// the file. Under a VirtualDispatch the queue runs when the test pumps.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace qv::platform {

class DispatchQueue;

class SharedJsonFile {
public:
    struct Description {
        // What the file holds, plural, for its lines: "settings" gives "The settings file
        // '<file>' could not be read (...)" and "Could not save the settings to '<file>'".
        std::string contents;
        // What holds instead of a file that cannot be used: "using the default settings".
        std::string instead;
        std::uintmax_t maximumBytes = 1 << 20;
        int maximumNesting = 32;
        // Why an object read from the file is not one this owner wrote, or nothing.
        std::function<std::optional<std::string>(const nlohmann::json& object)> check;
    };

    // The object kept in `file`; an empty path keeps it in memory only.
    SharedJsonFile(std::filesystem::path file, Description description);
    ~SharedJsonFile();
    SharedJsonFile(const SharedJsonFile&) = delete;
    SharedJsonFile& operator=(const SharedJsonFile&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // Calls `read` with the object as it is now, under the object's lock (keep it short).
    template <typename Read>
    auto read(Read&& read) const {
        std::lock_guard lock(mutex_);
        return read(static_cast<const nlohmann::json&>(values_));
    }

    // Gives `key` a value, or removes it, and queues the write.
    void set(std::string_view key, nlohmann::json value);
    void erase(std::string_view key);

    // Writes the changes not yet written now, on the calling thread (after a write under way).
    void flush();
    // Flushes every SharedJsonFile that exists (the app's end: quit, SIGTERM, SIGHUP), and
    // says which changes of each could not be written (only the app's end calls it).
    static void flushAll();

private:
    // Reads the file and judges it (the constructor).
    void open();
    // Marks `key` as changed here and queues a write; called with mutex_ held.
    void changed(std::string_view key);
    void writePending();
    // Says in one line which changed keys are not in the file and where they were to go.
    void reportUnsaved() const;

    const std::filesystem::path file_;
    const Description description_;
    // The file could not be read at opening: this run writes nothing to it. Why, when so.
    std::optional<std::string> unreadableAtOpening_;

    mutable std::mutex mutex_; // guards the fields below; never held while the file is used
    nlohmann::json values_ = nlohmann::json::object(); // the file at opening, and every change
    std::set<std::string, std::less<>> unsaved_;       // keys changed here, not in the file yet
    // Where the changes go, as last found (at opening, at each write): the links' target when
    // the file is kept as a link.
    std::filesystem::path destination_;
    bool writeQueued_ = false;

    std::mutex writing_; // one write of the file at a time: the queue's or a flush
    // Made at the first change; declared last, so it ends (waiting for a write under way)
    // before what its writes use.
    std::unique_ptr<DispatchQueue> queue_;
};

} // namespace qv::platform
