#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace qv::platform {

class MetadataValue;
using MetadataList = std::vector<MetadataValue>;

// A photo's metadata: an ordered dictionary from keys to values, with
// sub-dictionaries for the Exif, TIFF, GPS and DNG groups (see MetadataKeys.hpp).
// Keys keep their insertion order; setting an existing key replaces its value
// in place.
//
// Readers tell "absent" from "present but of another type": find() is null
// when the key is absent; the typed readers of MetadataValue give nullopt when
// the value has another type.
class MetadataDictionary {
public:
    using Entry = std::pair<std::string, MetadataValue>;

    const MetadataValue* find(std::string_view key) const;
    MetadataValue* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }

    void set(std::string key, MetadataValue value);
    bool erase(std::string_view key);

    // The sub-dictionary under key, or null when absent or not a dictionary.
    const MetadataDictionary* dictionary(std::string_view key) const;
    // The sub-dictionary under key for writing; made (replacing a value of
    // another type) when there is none.
    MetadataDictionary& dictionary(std::string_view key);

    // Defined below MetadataValue, where the entries' type is complete.
    using const_iterator = std::vector<Entry>::const_iterator;
    std::size_t size() const;
    bool empty() const;
    const_iterator begin() const;
    const_iterator end() const;

    // Same entries in the same order.
    friend bool operator==(const MetadataDictionary& a, const MetadataDictionary& b);

private:
    std::vector<Entry> entries;
};

class MetadataValue {
public:
    using Storage =
        std::variant<std::int64_t, double, bool, std::string, MetadataList, MetadataDictionary>;

    MetadataValue() : storage(std::int64_t{0}) {}
    MetadataValue(std::int64_t v) : storage(v) {}
    MetadataValue(int v) : storage(std::int64_t{v}) {}
    MetadataValue(std::uint32_t v) : storage(std::int64_t{v}) {}
    MetadataValue(double v) : storage(v) {}
    MetadataValue(bool v) : storage(v) {}
    MetadataValue(std::string v) : storage(std::move(v)) {}
    MetadataValue(const char* v) : storage(std::string(v)) {}
    MetadataValue(MetadataList v) : storage(std::move(v)) {}
    MetadataValue(MetadataDictionary v) : storage(std::move(v)) {}

    // An integer; a double only when it is whole and fits.
    std::optional<std::int64_t> integer() const;
    // Any number (integer or double) as a double; a bool is not a number.
    std::optional<double> number() const;
    std::optional<bool> boolean() const;
    const std::string* string() const { return std::get_if<std::string>(&storage); }
    const MetadataList* list() const { return std::get_if<MetadataList>(&storage); }
    const MetadataDictionary* dictionary() const {
        return std::get_if<MetadataDictionary>(&storage);
    }
    MetadataDictionary* dictionary() { return std::get_if<MetadataDictionary>(&storage); }
    // A list whose every entry is a number, as doubles; nullopt otherwise.
    std::optional<std::vector<double>> numbers() const;

    const Storage& value() const { return storage; }

    friend bool operator==(const MetadataValue&, const MetadataValue&) = default;

private:
    Storage storage;
};

inline std::size_t MetadataDictionary::size() const {
    return entries.size();
}
inline bool MetadataDictionary::empty() const {
    return entries.empty();
}
inline MetadataDictionary::const_iterator MetadataDictionary::begin() const {
    return entries.begin();
}
inline MetadataDictionary::const_iterator MetadataDictionary::end() const {
    return entries.end();
}

} // namespace qv::platform
