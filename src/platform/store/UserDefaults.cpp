#include "platform/store/UserDefaults.hpp"

#include "platform/console/Console.hpp"
#include "platform/store/AppFolders.hpp"
#include "platform/store/AtomicFile.hpp"
#include "platform/store/SetAside.hpp"

#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace qv::platform {

struct UserDefaults::Data {
    std::filesystem::path file;
    bool persistent;
    mutable std::mutex mutex; // guards values and the file: any thread may read or write
    nlohmann::json values = nlohmann::json::object();
};

namespace {

// Reads the settings file. A missing file is an empty store; a file that cannot be read or
// parsed is renamed aside and reported.
nlohmann::json load(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return nlohmann::json::object();
    }
    std::string problem;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        problem = "it cannot be opened";
    } else {
        std::ostringstream text;
        text << in.rdbuf();
        nlohmann::json parsed = nlohmann::json::parse(text.str(), nullptr, false);
        if (parsed.is_object()) {
            return parsed;
        }
        problem = parsed.is_discarded() ? "it is not valid JSON" : "it holds no settings object";
    }
    const std::filesystem::path aside = setAside(file, error);
    if (error) {
        print("The settings file " + file.string() + " could not be read (" + problem +
              ") nor moved aside (" + error.message() + "); using the default settings");
    } else {
        print("The settings file " + file.string() + " could not be read (" + problem +
              "); moved it to " + aside.string() + " and using the default settings");
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
    return typed<std::int64_t>(data_->values, key,
                               [](const nlohmann::json& v) { return v.is_number_integer(); });
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

// Writes the whole store; called with the store's lock held so writes reach the file in the
// order they were made.
void persist(const std::filesystem::path& file, const nlohmann::json& values) {
    ensureFolder(file.parent_path());
    const std::error_code error = writeFileAtomically(file, values.dump(2) + "\n");
    if (error) {
        print("Could not save the settings to " + file.string() + ": " + error.message());
    }
}

} // namespace

namespace {

// Applies one change and writes the store, under the store's lock.
template <typename D, typename Change>
void update(D& data, Change change) {
    std::lock_guard lock(data.mutex);
    change(data.values);
    if (data.persistent) {
        persist(data.file, data.values);
    }
}

} // namespace

void UserDefaults::set(std::string_view key, bool value) {
    update(*data_, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::setInteger(std::string_view key, std::int64_t value) {
    update(*data_, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::setDouble(std::string_view key, double value) {
    update(*data_, [&](nlohmann::json& values) { values[std::string(key)] = value; });
}

void UserDefaults::set(std::string_view key, std::string_view value) {
    update(*data_, [&](nlohmann::json& values) { values[std::string(key)] = std::string(value); });
}

void UserDefaults::remove(std::string_view key) {
    update(*data_, [&](nlohmann::json& values) { values.erase(std::string(key)); });
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
