#pragma once

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

class SharedJsonFile;

// The user's settings: typed values under plain keys, kept in one JSON object in a file.
//
// Reading: a key that is absent, or that holds a value of another type (a string read as a
// bool, an integer read as a double, a whole number beyond 64 signed bits read as an
// integer), reads as nothing, so each caller applies its own default:
// `defaults.boolValue("volumeShutter").value_or(true)`.
// Writing: set() and remove() change the value at once (every read sees it) and never wait
// for the file: it is written behind the caller on a serial queue of the store's own
// ("settings writes"), several changes in quick succession in one write, atomically, under
// the lock "<name>.lock" that every process sharing the file takes, changing in the file
// only the keys this store changed (files/SharedJsonFile.hpp says how). The values a store
// reads are the file's at opening and its own changes since: another process's changes count
// from the next opening. flush() writes what is pending now; the destructor flushes, and so
// does the app's end (SharedJsonFile::flushAll). A failed write prints one line (once per
// reason until a write succeeds), the value still holds for this run and is written again
// with the next change; the keys still not written at the app's end are named in one line.
// Opening: a missing file is an empty store. A file proven bad (not a regular file: a FIFO,
// a device, a folder, never opened in a way that could block; a link that leads to no
// regular file; larger than 1 MB; nesting arrays and objects more than 32 levels deep; not a
// JSON object) is renamed aside to "<name>.corrupt_<yyyyMMdd_HHmmss in UTC>" ("_2", "_3", ...
// appended when that name is taken, so no earlier one is replaced), one line says so, and
// the defaults apply; one found while the app runs is set aside the same way at the next
// write, and the store keeps the values it has. A file that cannot be read now (no
// permission, an I/O error, no file descriptors or memory left) is left untouched: one line
// says so, the defaults apply for this run, its changes are not written (one line), and the
// next opening reads the file again. A settings file kept as a symbolic link stays one: its
// target is written in its own folder.
// All member functions are safe to call from any thread.
class UserDefaults {
public:
    // The store kept in `file` (its folder is created when the first value is written); an
    // empty path keeps the values in memory only.
    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // A store that keeps its values in memory only (tests of code that uses settings).
    static std::unique_ptr<UserDefaults> inMemory();

    // The process-wide store: "settings.json" in AppFolders::fromEnvironment().config,
    // opened on first use and never destroyed, so its last changes reach the file through the
    // app's end (SharedJsonFile::flushAll). Tests may replace it with StandardDefaultsOverride.
    static UserDefaults& standard();

    std::optional<bool> boolValue(std::string_view key) const;
    std::optional<std::int64_t> integerValue(std::string_view key) const;
    std::optional<double> doubleValue(std::string_view key) const;
    std::optional<std::string> stringValue(std::string_view key) const;

    void set(std::string_view key, bool value);
    template <std::integral I>
    requires(!std::same_as<I, bool>) void set(std::string_view key, I value) {
        setInteger(key, static_cast<std::int64_t>(value));
    }
    template <std::floating_point F>
    void set(std::string_view key, F value) {
        setDouble(key, static_cast<double>(value));
    }
    void set(std::string_view key, std::string_view value);
    void set(std::string_view key, const std::string& value) { set(key, std::string_view(value)); }
    void set(std::string_view key, const char* value) { set(key, std::string_view(value)); }

    bool has(std::string_view key) const;
    void remove(std::string_view key);

    // Writes the changes not written yet, on the calling thread, before returning.
    void flush();

    // The file behind the store (empty for an in-memory store).
    const std::filesystem::path& file() const;

private:
    void setInteger(std::string_view key, std::int64_t value);
    void setDouble(std::string_view key, double value);

    std::unique_ptr<SharedJsonFile> file_;
};

// Replaces UserDefaults::standard() with `store` for its lifetime (tests). Make it before the
// code under test reads settings and while no other thread uses the standard store.
class StandardDefaultsOverride {
public:
    explicit StandardDefaultsOverride(std::unique_ptr<UserDefaults> store);
    ~StandardDefaultsOverride();
    StandardDefaultsOverride(const StandardDefaultsOverride&) = delete;
    StandardDefaultsOverride& operator=(const StandardDefaultsOverride&) = delete;

    UserDefaults& store() { return *store_; }

private:
    std::unique_ptr<UserDefaults> store_;
    UserDefaults* previous_;
};

} // namespace qv::platform
