#include "platform/store/UserDefaults.hpp"

#include "platform/console/Console.hpp"
#include "platform/console/FailureLines.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/files/SetAside.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <atomic>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <variant>

namespace qv::platform {

struct UserDefaults::Data {
    std::filesystem::path file;
    bool persistent;
    mutable std::mutex mutex; // guards the fields below and the file: any thread reads or writes
    nlohmann::json values = nlohmann::json::object(); // the file at opening, and every change
    std::set<std::string, std::less<>> unsaved;       // keys changed here and not in the file yet
};

namespace {

// Settings are a flat object of a few dozen values; a file far larger or more deeply nested
// was not written by this store. Refusing it at load also keeps the writer (whose
// serializer recurses once per level) away from it.
constexpr std::uintmax_t maximumFileBytes = 1 << 20;
constexpr int maximumNesting = 32;

// Whether the text opens more than `limit` arrays or objects inside each other, counting
// brackets outside strings only; decided before the parser builds anything.
bool nestedDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return true;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// The settings in the file's text, or why there are none.
std::variant<nlohmann::json, std::string> parse(const std::string& text) {
    if (nestedDeeperThan(text, maximumNesting)) {
        return "it is nested more than " + std::to_string(maximumNesting) + " levels deep";
    }
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        return std::string("it is not valid JSON");
    }
    if (!parsed.is_object()) {
        return std::string("it holds no settings object");
    }
    return parsed;
}

struct Missing {};

// The settings the file holds now: none when it is missing, or why it cannot be used.
std::variant<nlohmann::json, std::string, Missing> read(const std::filesystem::path& file) {
    std::string text;
    if (const auto problem = readRegularFile(file, maximumFileBytes, text)) {
        if (problem->kind == FileProblem::Kind::missing) {
            return Missing{};
        }
        return "it " + problem->reason;
    }
    auto parsed = parse(text);
    if (auto* settings = std::get_if<nlohmann::json>(&parsed)) {
        return std::move(*settings);
    }
    return std::get<std::string>(parsed);
}

// Renames a settings file that cannot be used aside and says so.
void setAsideUnusable(const std::filesystem::path& file, const std::string& problem) {
    std::error_code error;
    const std::filesystem::path aside = setAside(file, error);
    if (error) {
        // Said once while it lasts: each write tries again.
        printFailure("settings set aside " + file.string(),
                     "The settings file " + quotedPath(file) + " could not be read (" + problem +
                         ") nor moved aside (" + error.message() + "); using the default settings");
    } else {
        print("The settings file " + quotedPath(file) + " could not be read (" + problem +
              "); moved it to " + quotedPath(aside) + " and using the default settings");
    }
}

// Reads the settings file at opening. A missing file is an empty store; one that cannot be
// used is set aside.
nlohmann::json load(const std::filesystem::path& file) {
    auto current = read(file);
    if (auto* settings = std::get_if<nlohmann::json>(&current)) {
        return std::move(*settings);
    }
    if (const auto* problem = std::get_if<std::string>(&current)) {
        setAsideUnusable(file, *problem);
    }
    return nlohmann::json::object();
}

std::atomic<UserDefaults*> standardOverride{nullptr};

} // namespace

UserDefaults::UserDefaults(std::filesystem::path file, bool persistent)
    : data_(std::make_unique<Data>()) {
    data_->file = std::move(file);
    data_->persistent = persistent;
    if (persistent) {
        data_->values = load(data_->file);
        // Writes of this folder's files (settings, permissions) killed mid-way leave their
        // temporary files; those whose writer is gone go now.
        removeStaleTemporaryFiles(data_->file.parent_path());
    }
}

UserDefaults::UserDefaults(std::filesystem::path file) : UserDefaults(std::move(file), true) {}

UserDefaults::~UserDefaults() = default;

std::unique_ptr<UserDefaults> UserDefaults::inMemory() {
    return std::unique_ptr<UserDefaults>(new UserDefaults({}, false));
}

UserDefaults& UserDefaults::standard() {
    if (UserDefaults* replaced = standardOverride.load()) {
        return *replaced;
    }
    static UserDefaults store(AppFolders::fromEnvironment().config / "settings.json");
    return store;
}

namespace {

template <typename T, typename Check>
std::optional<T> typed(const nlohmann::json& values, std::string_view key, Check isType) {
    const auto found = values.find(key);
    if (found == values.end() || !isType(*found)) {
        return std::nullopt;
    }
    return found->template get<T>();
}

} // namespace

std::optional<bool> UserDefaults::boolValue(std::string_view key) const {
    std::lock_guard lock(data_->mutex);
    return typed<bool>(data_->values, key, [](const nlohmann::json& v) { return v.is_boolean(); });
}

std::optional<std::int64_t> UserDefaults::integerValue(std::string_view key) const {
    std::lock_guard lock(data_->mutex);
    // A whole number beyond 64 signed bits (only a hand-edited file has one) is not an integer
    // setting, rather than one wrapped to a negative number.
    return typed<std::int64_t>(data_->values, key, [](const nlohmann::json& v) {
        return v.is_number_integer() &&
               (!v.is_number_unsigned() ||
                v.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int64_t>::max()));
    });
}

std::optional<double> UserDefaults::doubleValue(std::string_view key) const {
    std::lock_guard lock(data_->mutex);
    return typed<double>(data_->values, key,
                         [](const nlohmann::json& v) { return v.is_number_float(); });
}

std::optional<std::string> UserDefaults::stringValue(std::string_view key) const {
    std::lock_guard lock(data_->mutex);
    return typed<std::string>(data_->values, key,
                              [](const nlohmann::json& v) { return v.is_string(); });
}

bool UserDefaults::has(std::string_view key) const {
    std::lock_guard lock(data_->mutex);
    return data_->values.contains(key);
}

namespace {

// Writes this process's changes into the file as it is now: under the settings lock, the
// keys changed here and not saved yet take their values (or go) in the file's current
// settings, and that is written atomically; every other key keeps what another process may
// have written. Without a readable file (missing, or set aside here as unusable) the whole
// store is written. Called with the store's lock held, so writes reach the file in the order
// they were made.
template <typename D>
void persist(D& data) {
    ensureFolder(data.file.parent_path());
    const FileLock lock = lockForRewriting(data.file);
    auto current = read(data.file);
    if (const auto* problem = std::get_if<std::string>(&current)) {
        setAsideUnusable(data.file, *problem);
    }
    nlohmann::json merged = data.values;
    if (auto* onDisk = std::get_if<nlohmann::json>(&current)) {
        merged = std::move(*onDisk);
        for (const std::string& key : data.unsaved) {
            if (const auto value = data.values.find(key); value != data.values.end()) {
                merged[key] = *value;
            } else {
                merged.erase(key);
            }
        }
    }
    // Text that is not UTF-8 (a string set by the app from a file name, say) is written with
    // replacement characters instead of making the serializer throw.
    const std::string text =
        merged.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const std::string cause = "settings save " + data.file.string();
    if (const std::error_code error = writeFileAtomically(data.file, text)) {
        printFailure(cause, "Could not save the settings to " + quotedPath(data.file) + ": " +
                                error.message());
        return;
    }
    failureRecovered(cause);
    data.unsaved.clear();
    reportWriteWithoutLock(lock, "The settings", data.file);
}

// Applies one change to `key` and writes the store, under the store's lock.
template <typename D, typename Change>
void update(D& data, std::string_view key, Change change) {
    std::lock_guard lock(data.mutex);
    change(data.values);
    if (data.persistent) {
        data.unsaved.emplace(key);
        persist(data);
    }
}

} // namespace

void UserDefaults::set(std::string_view key, bool value) {
    update(*data_, key, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::setInteger(std::string_view key, std::int64_t value) {
    update(*data_, key, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::setDouble(std::string_view key, double value) {
    update(*data_, key, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::set(std::string_view key, std::string_view value) {
    update(*data_, key,
           [&](nlohmann::json& values) { values[std::string(key)] = std::string(value); });
}

void UserDefaults::remove(std::string_view key) {
    update(*data_, key, [&](nlohmann::json& values) { values.erase(std::string(key)); });
}

const std::filesystem::path& UserDefaults::file() const {
    return data_->file;
}

StandardDefaultsOverride::StandardDefaultsOverride(std::unique_ptr<UserDefaults> store)
    : store_(std::move(store)), previous_(standardOverride.exchange(store_.get())) {}

StandardDefaultsOverride::~StandardDefaultsOverride() {
    standardOverride.store(previous_);
}

} // namespace qv::platform
