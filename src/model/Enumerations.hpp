#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The small value types every part of the app passes around. Each enumeration
// with a raw value can be made from it; a raw value that names no case gives
// nullopt. Equality and hashing are the enum's own (std::hash), so equal raw
// values compare and hash equal.
namespace qv {

// How the frames of one sequence are combined. Persisted by raw value.
enum class SequenceMode : std::int64_t {
    frameAveraging = 0, // mean of all frames
    lightTrails = 1,    // average plus a running maximum of moving lights
    starTrails = 2,     // group averages folded into a running maximum
    nightMode = 3,      // averaging of RAW frames with clipping limits
};
inline constexpr std::array allSequenceModes{SequenceMode::frameAveraging,
                                             SequenceMode::lightTrails, SequenceMode::starTrails,
                                             SequenceMode::nightMode};
constexpr std::int64_t rawValue(SequenceMode mode) {
    return static_cast<std::int64_t>(mode);
}
std::optional<SequenceMode> sequenceModeFromRawValue(std::int64_t raw);
// The mode's two-letter name on the camera screen: "FA", "LT", "ST", "NM".
std::string_view abbreviation(SequenceMode mode);
// The mode's name as the mode selector and the messages show it: "Frame Averaging",
// "Light Trails", "Star Trails", "Night Mode".
std::string_view displayName(SequenceMode mode);

// The state of the camera controller, published for the screens.
enum class CameraState {
    starting,
    cameraNotAllowed,
    noRAWCamera,
    ready,
    countdown,
    shooting,
    changingSettings,
    finishing,
};

// The lens a camera device stands for.
enum class CameraType { wideAngle, tele, ultraWide, tele25x, tele3x, tele5x };
inline constexpr std::array allCameraTypes{CameraType::wideAngle, CameraType::tele,
                                           CameraType::ultraWide, CameraType::tele25x,
                                           CameraType::tele3x,    CameraType::tele5x};

// The file format of a saved result. Persisted by its raw text.
enum class SupportedImageFormat { RAW, JPEG, TIFF };
inline constexpr std::array allSupportedImageFormats{
    SupportedImageFormat::RAW, SupportedImageFormat::JPEG, SupportedImageFormat::TIFF};
// "RAW", "JPEG" or "TIFF".
std::string_view rawValue(SupportedImageFormat format);
// Exactly one of the raw texts (case-sensitive, whole text); anything else gives nullopt.
std::optional<SupportedImageFormat> supportedImageFormatFromRawValue(std::string_view raw);

// The release delay: seconds between the shutter operation and the first photo.
enum class Delay : std::int64_t { off = 0, two = 2, five = 5, ten = 10 };
inline constexpr std::array allDelays{Delay::off, Delay::two, Delay::five, Delay::ten};
constexpr std::int64_t rawValue(Delay delay) {
    return static_cast<std::int64_t>(delay);
}
std::optional<Delay> delayFromRawValue(std::int64_t raw);

} // namespace qv
