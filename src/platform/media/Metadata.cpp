#include "platform/media/Metadata.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform {

bool operator==(const MetadataDictionary& a, const MetadataDictionary& b) {
    return a.entries == b.entries;
}

const MetadataValue* MetadataDictionary::find(std::string_view key) const {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.first == key; });
    return it == entries.end() ? nullptr : &it->second;
}

MetadataValue* MetadataDictionary::find(std::string_view key) {
    return const_cast<MetadataValue*>(std::as_const(*this).find(key));
}

void MetadataDictionary::set(std::string key, MetadataValue value) {
    if (MetadataValue* existing = find(key)) {
        *existing = std::move(value);
    } else {
        entries.emplace_back(std::move(key), std::move(value));
    }
}

bool MetadataDictionary::erase(std::string_view key) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.first == key; });
    if (it == entries.end()) {
        return false;
    }
    entries.erase(it);
    return true;
}

const MetadataDictionary* MetadataDictionary::dictionary(std::string_view key) const {
    const MetadataValue* value = find(key);
    return value ? value->dictionary() : nullptr;
}

MetadataDictionary& MetadataDictionary::dictionary(std::string_view key) {
    MetadataValue* value = find(key);
    if (!value || !value->dictionary()) {
        set(std::string(key), MetadataDictionary{});
        value = find(key);
    }
    return *value->dictionary();
}

std::optional<std::int64_t> MetadataValue::integer() const {
    if (auto i = std::get_if<std::int64_t>(&storage)) {
        return *i;
    }
    if (auto d = std::get_if<double>(&storage)) {
        // 2^63 is exact in a double; whole values in (-2^63, 2^63) convert safely.
        if (std::trunc(*d) == *d && *d > -9223372036854775808.0 && *d < 9223372036854775808.0) {
            return saturatingCast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

std::optional<double> MetadataValue::number() const {
    if (auto i = std::get_if<std::int64_t>(&storage)) {
        return static_cast<double>(*i);
    }
    if (auto d = std::get_if<double>(&storage)) {
        return *d;
    }
    return std::nullopt;
}

std::optional<bool> MetadataValue::boolean() const {
    if (auto b = std::get_if<bool>(&storage)) {
        return *b;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> MetadataValue::numbers() const {
    const MetadataList* items = list();
    if (!items) {
        return std::nullopt;
    }
    std::vector<double> out;
    out.reserve(items->size());
    for (const MetadataValue& item : *items) {
        auto n = item.number();
        if (!n) {
            return std::nullopt;
        }
        out.push_back(*n);
    }
    return out;
}

} // namespace qv::platform
