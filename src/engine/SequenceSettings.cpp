#include "engine/SequenceSettings.hpp"

namespace qv {

std::optional<std::int64_t> InMemorySequenceSettings::integer(std::string_view key) const {
    std::lock_guard lock(mutex);
    const auto it = values.find(key);
    return it == values.end() ? std::nullopt : std::optional(it->second);
}

void InMemorySequenceSettings::setInteger(std::string_view key, std::int64_t value) {
    std::lock_guard lock(mutex);
    values.insert_or_assign(std::string(key), value);
}

} // namespace qv
