#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Where the exposure sequence keeps its two persisted indices (the user
// defaults in the app). An absent key reads as nullopt, so the caller's
// default applies.
class SequenceSettings {
public:
    virtual ~SequenceSettings() = default;
    virtual std::optional<std::int64_t> integer(std::string_view key) const = 0;
    virtual void setInteger(std::string_view key, std::int64_t value) = 0;
};

// Settings held in memory only: for tests, and until a persistent store is
// wired in. Safe from any thread.
class InMemorySequenceSettings final : public SequenceSettings {
public:
    std::optional<std::int64_t> integer(std::string_view key) const override;
    void setInteger(std::string_view key, std::int64_t value) override;

private:
    mutable std::mutex mutex; // readers on the photo queue, writers on the main queue
    std::map<std::string, std::int64_t, std::less<>> values;
};

} // namespace qv
