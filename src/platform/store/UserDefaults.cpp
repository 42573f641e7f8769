#include "platform/store/UserDefaults.hpp"

#include "platform/files/AppFolders.hpp"
#include "platform/files/SharedJsonFile.hpp"

#include <atomic>
#include <limits>

namespace qv::platform {

namespace {

SharedJsonFile::Description settingsFile() {
    // Settings are a flat object of a few dozen values; a file far larger or more deeply
    // nested was not written by this store.
    return {.contents = "settings",
            .instead = "using the default settings",
            .maximumBytes = 1 << 20,
            .maximumNesting = 32,
            .check = {}};
}

std::atomic<UserDefaults*> standardOverride{nullptr};

template <typename T, typename Check>
std::optional<T> typed(const SharedJsonFile& file, std::string_view key, Check isType) {
    return file.read([&](const nlohmann::json& values) -> std::optional<T> {
        const auto found = values.find(key);
        if (found == values.end() || !isType(*found)) {
            return std::nullopt;
        }
        return found->template get<T>();
    });
}

} // namespace

UserDefaults::UserDefaults(std::filesystem::path file)
    : file_(std::make_unique<SharedJsonFile>(std::move(file), settingsFile())) {}

UserDefaults::~UserDefaults() = default;

std::unique_ptr<UserDefaults> UserDefaults::inMemory() {
    return std::make_unique<UserDefaults>(std::filesystem::path());
}

UserDefaults& UserDefaults::standard() {
    if (UserDefaults* replaced = standardOverride.load()) {
        return *replaced;
    }
    // Never destroyed: a destructor run among the static ones at exit would write through
    // services already gone. The app's end flushes it (SharedJsonFile::flushAll).
    static UserDefaults* const store =
        new UserDefaults(AppFolders::fromEnvironment().config / "settings.json");
    return *store;
}

std::optional<bool> UserDefaults::boolValue(std::string_view key) const {
    return typed<bool>(*file_, key, [](const nlohmann::json& v) { return v.is_boolean(); });
}

std::optional<std::int64_t> UserDefaults::integerValue(std::string_view key) const {
    // A whole number beyond 64 signed bits (only a hand-edited file has one) is not an integer
    // setting, rather than one wrapped to a negative number.
    return typed<std::int64_t>(*file_, key, [](const nlohmann::json& v) {
        return v.is_number_integer() &&
               (!v.is_number_unsigned() ||
                v.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int64_t>::max()));
    });
}

std::optional<double> UserDefaults::doubleValue(std::string_view key) const {
    return typed<double>(*file_, key, [](const nlohmann::json& v) { return v.is_number_float(); });
}

std::optional<std::string> UserDefaults::stringValue(std::string_view key) const {
    return typed<std::string>(*file_, key, [](const nlohmann::json& v) { return v.is_string(); });
}

bool UserDefaults::has(std::string_view key) const {
    return file_->read([&](const nlohmann::json& values) { return values.contains(key); });
}

void UserDefaults::set(std::string_view key, bool value) {
    file_->set(key, value);
}

void UserDefaults::setInteger(std::string_view key, std::int64_t value) {
    file_->set(key, value);
}

void UserDefaults::setDouble(std::string_view key, double value) {
    file_->set(key, value);
}

void UserDefaults::set(std::string_view key, std::string_view value) {
    file_->set(key, std::string(value));
}

void UserDefaults::remove(std::string_view key) {
    file_->erase(key);
}

void UserDefaults::flush() {
    file_->flush();
}

const std::filesystem::path& UserDefaults::file() const {
    return file_->file();
}

StandardDefaultsOverride::StandardDefaultsOverride(std::unique_ptr<UserDefaults> store)
    : store_(std::move(store)), previous_(standardOverride.exchange(store_.get())) {}

StandardDefaultsOverride::~StandardDefaultsOverride() {
    standardOverride.store(previous_);
}

} // namespace qv::platform
