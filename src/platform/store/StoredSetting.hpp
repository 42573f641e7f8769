#pragma once

#include "platform/state/Binding.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Published.hpp"
#include "platform/store/UserDefaults.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qv::platform {

// How a setting's value is kept in the user defaults: read gives the value, or nothing when
// the key is absent, holds another type or names no value (the setting's default applies);
// write stores it.
template <typename T>
struct SettingCoding {
    std::function<std::optional<T>(const UserDefaults&, std::string_view key)> read;
    std::function<void(UserDefaults&, std::string_view key, const T&)> write;
};

// The plain stored types: bool, 64-bit integer, double, string.
template <typename T>
SettingCoding<T> plainCoding() {
    return {[](const UserDefaults& defaults, std::string_view key) -> std::optional<T> {
                if constexpr (std::is_same_v<T, bool>) {
                    return defaults.boolValue(key);
                } else if constexpr (std::is_same_v<T, std::int64_t>) {
                    return defaults.integerValue(key);
                } else if constexpr (std::is_same_v<T, double>) {
                    return defaults.doubleValue(key);
                } else {
                    static_assert(std::is_same_v<T, std::string>, "bool, int64, double or string");
                    return defaults.stringValue(key);
                }
            },
            [](UserDefaults& defaults, std::string_view key, const T& value) {
                defaults.set(key, value);
            }};
}

// An enumeration kept as its raw value (an integer or a string): a stored raw value that
// names no case reads as nothing.
template <typename E, typename Raw>
SettingCoding<E> rawValueCoding(std::optional<E> (*fromRawValue)(Raw), Raw (*rawValue)(E)) {
    using Plain = std::conditional_t<std::is_integral_v<Raw>, std::int64_t, std::string>;
    return {[fromRawValue](const UserDefaults& defaults, std::string_view key) -> std::optional<E> {
                const std::optional<Plain> raw = plainCoding<Plain>().read(defaults, key);
                return raw ? fromRawValue(*raw) : std::nullopt;
            },
            [rawValue](UserDefaults& defaults, std::string_view key, const E& value) {
                defaults.set(key, Plain(rawValue(value)));
            }};
}

// One setting kept in the user defaults under a plain key, declared in its owner:
//   StoredSetting<bool> lockFormat{*this, defaults, "lockFormat", false};
//
// Reading goes to the store every time, so it sees the last value written anywhere, and is
// safe from any thread; a key that is absent or unreadable (see SettingCoding) reads as the
// default. Nothing is written until the setting is set.
// A write (set(), or a binding's set) always does, in this order, also when the value is
// unchanged: the owner's will-change signal, the store, the did-set observer. A write from
// inside the did-set observer stores without calling it again. Writes belong on the main
// thread, like published state; one off it is reported once per setting.
template <typename T>
class StoredSetting {
public:
    using DidSet = std::function<void()>;

    StoredSetting(ObservableObject& owner, UserDefaults& defaults, std::string key, T defaultValue,
                  SettingCoding<T> coding = plainCoding<T>(), DidSet didSet = {})
        : owner_(owner), defaults_(defaults), key_(std::move(key)),
          default_(std::move(defaultValue)), coding_(std::move(coding)),
          didSet_(std::move(didSet)) {}
    StoredSetting(const StoredSetting&) = delete;
    StoredSetting& operator=(const StoredSetting&) = delete;

    const std::string& key() const { return key_; }
    const T& defaultValue() const { return default_; }

    T get() const { return coding_.read(defaults_, key_).value_or(default_); }
    T operator*() const { return get(); }

    void set(const T& value) {
        if (!isMainThread() && !reported_.exchange(true)) {
            detail::reportOffMainWrite();
        }
        owner_.sendWillChange();
        coding_.write(defaults_, key_, value);
        if (didSet_ && !inDidSet_) {
            inDidSet_ = true;
            didSet_();
            inDidSet_ = false;
        }
    }
    StoredSetting& operator=(const T& value) {
        set(value);
        return *this;
    }

    // A binding whose setter is this setting's write. The owner must outlive it.
    Binding<T> binding() {
        return Binding<T>([this] { return get(); }, [this](T value) { set(value); });
    }

private:
    ObservableObject& owner_;
    UserDefaults& defaults_;
    std::string key_;
    T default_;
    SettingCoding<T> coding_;
    DidSet didSet_;
    bool inDidSet_ = false;             // written and read by the writing (main) thread only
    std::atomic<bool> reported_{false}; // an off-main write has been reported
};

} // namespace qv::platform
