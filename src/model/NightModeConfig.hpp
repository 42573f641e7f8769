#pragma once

#include "platform/state/Binding.hpp"
#include "platform/state/ObservableObject.hpp"

#include <array>
#include <cstdint>
#include <optional>

namespace qv {

// How the night merger clips the RAW values of each frame: which lower and upper
// limit per colour channel it applies (the limits come from DngLevels.hpp).
enum class BetaNightMergeMode : std::int64_t {
    noClipping = 0,                  // none
    blackClippingUnique = 1,         // the black level for every channel
    blackClippingRGB = 2,            // the black clipping points
    whiteClipping = 3,               // the white clipping points
    blackAndWhiteClippingUnique = 4, // the black level and the white clipping points
    blackAndWhiteClippingRBG = 5,    // the black and the white clipping points
};
inline constexpr std::array allBetaNightMergeModes{BetaNightMergeMode::noClipping,
                                                   BetaNightMergeMode::blackClippingUnique,
                                                   BetaNightMergeMode::blackClippingRGB,
                                                   BetaNightMergeMode::whiteClipping,
                                                   BetaNightMergeMode::blackAndWhiteClippingUnique,
                                                   BetaNightMergeMode::blackAndWhiteClippingRBG};
constexpr std::int64_t rawValue(BetaNightMergeMode mode) {
    return static_cast<std::int64_t>(mode);
}
std::optional<BetaNightMergeMode> betaNightMergeModeFromRawValue(std::int64_t raw);

// How the ISO of a night run is handled.
enum class BetaNightISOMode : std::int64_t {
    native = 0,        // the result is written as merged
    computational = 1, // the result gets an exposure compensation from the chosen ISO
};
inline constexpr std::array allBetaNightISOModes{BetaNightISOMode::native,
                                                 BetaNightISOMode::computational};
constexpr std::int64_t rawValue(BetaNightISOMode mode) {
    return static_cast<std::int64_t>(mode);
}
std::optional<BetaNightISOMode> betaNightISOModeFromRawValue(std::int64_t raw);

// The two night-mode settings, kept in the standard user defaults by raw value under
// "betaNightISOMode" (default native) and "betaNightMergeMode" (default noClipping).
// A stored value that names no case reads as the default. Every read goes to the
// store, so it sees the last value written anywhere; reads are safe from any thread.
// A write announces the change to observers, then stores the value; writes come from
// the main queue.
class NightModeConfig final : public platform::ObservableObject {
public:
    static constexpr const char* isoModeKey = "betaNightISOMode";
    static constexpr const char* mergeModeKey = "betaNightMergeMode";

    // The one instance, made on first use.
    static NightModeConfig& shared();

    BetaNightISOMode betaNightISOMode() const;
    void setBetaNightISOMode(BetaNightISOMode mode);
    platform::Binding<BetaNightISOMode> betaNightISOModeBinding();

    BetaNightMergeMode betaNightMergeMode() const;
    void setBetaNightMergeMode(BetaNightMergeMode mode);
    platform::Binding<BetaNightMergeMode> betaNightMergeModeBinding();

private:
    NightModeConfig() = default;
};

} // namespace qv
