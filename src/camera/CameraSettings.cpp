#include "camera/CameraSettings.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv {

using platform::SettingCoding;
using platform::StoredSetting;

namespace {

// A stored double passed through `correct`; a value that is not finite reads as nothing.
SettingCoding<double> finiteDoubleCoding(double (*correct)(double)) {
    auto plain = platform::plainCoding<double>();
    return {[read = plain.read, correct](const platform::UserDefaults& defaults,
                                         std::string_view key) -> std::optional<double> {
                const std::optional<double> value = read(defaults, key);
                if (!value || !std::isfinite(*value)) {
                    return std::nullopt;
                }
                return correct(*value);
            },
            plain.write};
}

double lensPositionRange(double position) {
    return std::clamp(position, 0.0, 1.0);
}

double unchanged(double value) {
    return value;
}

} // namespace

CameraSettings::CameraSettings(platform::ObservableObject& owner, platform::UserDefaults& defaults,
                               std::function<void()> volumeShutterChanged)
    : shutterReleaseDelay(owner, defaults, "delay", Delay::five,
                          platform::rawValueCoding(delayFromRawValue, rawValue)),
      shouldSaveLocationData(owner, defaults, "saveLocationData", false),
      saveFAwithLT(owner, defaults, "saveFAwithLT", false),
      lockFormat(owner, defaults, "lockFormat", false),
      starFocusWide(owner, defaults, "starFocusWide", defaultStarFocus,
                    finiteDoubleCoding(lensPositionRange)),
      starFocusTele(owner, defaults, "starFocusTele", defaultStarFocus,
                    finiteDoubleCoding(lensPositionRange)),
      starFocusUltraWide(owner, defaults, "starFocusUltraWide", defaultStarFocus,
                         finiteDoubleCoding(lensPositionRange)),
      fileFormat(owner, defaults, "fileFormat", SupportedImageFormat::JPEG,
                 platform::rawValueCoding(supportedImageFormatFromRawValue, rawValue)),
      useVolumeShutter(owner, defaults, "volumeShutter", false, platform::plainCoding<bool>(),
                       std::move(volumeShutterChanged)),
      showImagePreviewWhileShooting(owner, defaults, "imagePreview", false),
      longRAWShots2plus(owner, defaults, "longRAWShots2plus", 0),
      longShots(owner, defaults, "longShots", 0),
      starEV(owner, defaults, "starEV", defaultStarEV, finiteDoubleCoding(unchanged)) {}

StoredSetting<double>& CameraSettings::starFocus(CameraType type) {
    switch (type) {
    case CameraType::wideAngle:
        return starFocusWide;
    case CameraType::ultraWide:
        return starFocusUltraWide;
    case CameraType::tele:
    case CameraType::tele25x:
    case CameraType::tele3x:
    case CameraType::tele5x:
        return starFocusTele;
    }
    return starFocusWide;
}

} // namespace qv
