#pragma once

#include "model/Enumerations.hpp"
#include "platform/store/StoredSetting.hpp"

#include <cstdint>
#include <functional>

namespace qv {

// The camera controller's thirteen settings, kept in the user defaults under their keys.
// Each reads its default while its key is absent or unreadable (another type, a raw value
// that names no case); nothing is written until a setting is set. Reads are safe from any
// thread; writes come from the main queue and announce the change through the owner.
//
// Read corrections, so a damaged file never reaches a device: a star focus that is not
// finite reads 0.8, any other is clamped to 0...1 (the lens's range); a "starEV" that is
// not finite reads -1.0. The stored text stays as it is until the setting is written.
class CameraSettings {
public:
    static constexpr double defaultStarFocus = 0.8;
    static constexpr double defaultStarEV = -1.0;

    // `volumeShutterChanged` runs after every write of useVolumeShutter.
    CameraSettings(platform::ObservableObject& owner, platform::UserDefaults& defaults,
                   std::function<void()> volumeShutterChanged);

    platform::StoredSetting<Delay> shutterReleaseDelay;          // "delay", five
    platform::StoredSetting<bool> shouldSaveLocationData;        // "saveLocationData", false
    platform::StoredSetting<bool> saveFAwithLT;                  // "saveFAwithLT", false
    platform::StoredSetting<bool> lockFormat;                    // "lockFormat", false
    platform::StoredSetting<double> starFocusWide;               // "starFocusWide", 0.8
    platform::StoredSetting<double> starFocusTele;               // "starFocusTele", 0.8
    platform::StoredSetting<double> starFocusUltraWide;          // "starFocusUltraWide", 0.8
    platform::StoredSetting<SupportedImageFormat> fileFormat;    // "fileFormat", JPEG
    platform::StoredSetting<bool> useVolumeShutter;              // "volumeShutter", false
    platform::StoredSetting<bool> showImagePreviewWhileShooting; // "imagePreview", false
    platform::StoredSetting<std::int64_t> longRAWShots2plus;     // "longRAWShots2plus", 0
    platform::StoredSetting<std::int64_t> longShots;             // "longShots", 0
    platform::StoredSetting<double> starEV;                      // "starEV", -1.0

    // The star focus kept for a camera type: wide, tele (all telephoto kinds), ultra-wide.
    platform::StoredSetting<double>& starFocus(CameraType type);
};

} // namespace qv
