#include "model/NightModeConfig.hpp"

#include "model/RawValueLookup.hpp"
#include "platform/store/UserDefaults.hpp"

namespace qv {

using platform::UserDefaults;

namespace {

// The mode stored under `key`, or `fallback` when none is stored or it names no case.
template <class Mode>
Mode storedMode(const char* key, std::optional<Mode> (*fromRawValue)(std::int64_t), Mode fallback) {
    const std::optional<std::int64_t> raw = UserDefaults::standard().integerValue(key);
    return (raw ? fromRawValue(*raw) : std::nullopt).value_or(fallback);
}

} // namespace

std::optional<BetaNightMergeMode> betaNightMergeModeFromRawValue(std::int64_t raw) {
    return detail::caseWithRawValue(allBetaNightMergeModes, raw);
}

std::optional<BetaNightISOMode> betaNightISOModeFromRawValue(std::int64_t raw) {
    return detail::caseWithRawValue(allBetaNightISOModes, raw);
}

NightModeConfig& NightModeConfig::shared() {
    static NightModeConfig config;
    return config;
}

BetaNightISOMode NightModeConfig::betaNightISOMode() const {
    return storedMode(isoModeKey, betaNightISOModeFromRawValue, BetaNightISOMode::native);
}

void NightModeConfig::setBetaNightISOMode(BetaNightISOMode mode) {
    sendWillChange();
    UserDefaults::standard().set(isoModeKey, rawValue(mode));
}

platform::Binding<BetaNightISOMode> NightModeConfig::betaNightISOModeBinding() {
    return {[this] { return betaNightISOMode(); },
            [this](BetaNightISOMode mode) { setBetaNightISOMode(mode); }};
}

BetaNightMergeMode NightModeConfig::betaNightMergeMode() const {
    return storedMode(mergeModeKey, betaNightMergeModeFromRawValue, BetaNightMergeMode::noClipping);
}

void NightModeConfig::setBetaNightMergeMode(BetaNightMergeMode mode) {
    sendWillChange();
    UserDefaults::standard().set(mergeModeKey, rawValue(mode));
}

platform::Binding<BetaNightMergeMode> NightModeConfig::betaNightMergeModeBinding() {
    return {[this] { return betaNightMergeMode(); },
            [this](BetaNightMergeMode mode) { setBetaNightMergeMode(mode); }};
}

} // namespace qv
