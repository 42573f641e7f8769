#pragma once
// The keys of the desktop keyboard that stand in for what a phone does with its
// buttons and its body: the volume buttons, turning the phone, tilting it.

#include <optional>
#include <string_view>

namespace qv::platform::window {

enum class PhoneKey {
    volumeUp,   // "+" / "=" / keypad plus / the media key Volume Up
    volumeDown, // "-" / keypad minus / the media key Volume Down
    // Holding the phone: "1" portrait, "2" upside down, "3" landscape left,
    // "4" landscape right, "5" face up, "6" face down.
    orientationPortrait,
    orientationPortraitUpsideDown,
    orientationLandscapeLeft,
    orientationLandscapeRight,
    orientationFaceUp,
    orientationFaceDown,
    // Tilting the phone (the spirit level reads it): arrow keys tilt by one step,
    // "0" holds it level again.
    tiltLeft,
    tiltRight,
    tiltForward, // top edge away from the user (Up)
    tiltBack,    // top edge towards the user (Down)
    tiltLevel,
};

/// The phone key a keyboard key stands for; `keycode` is an SDL key code.
/// Keys pressed with Ctrl, Alt or the GUI key stand for nothing (they are the desktop's).
std::optional<PhoneKey> phoneKeyFor(int keycode, unsigned modifiers);

/// A short name for logs and tests ("volumeUp").
std::string_view name(PhoneKey key);

} // namespace qv::platform::window
