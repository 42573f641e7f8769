#include "platform/window/PhoneKeys.hpp"

#include <SDL.h>

namespace qv::platform::window {

std::optional<PhoneKey> phoneKeyFor(int keycode, unsigned modifiers) {
    if ((modifiers & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) != 0) {
        return std::nullopt;
    }
    switch (keycode) {
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS:
    case SDLK_VOLUMEUP:
        return PhoneKey::volumeUp;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
    case SDLK_VOLUMEDOWN:
        return PhoneKey::volumeDown;
    case SDLK_1:
        return PhoneKey::orientationPortrait;
    case SDLK_2:
        return PhoneKey::orientationPortraitUpsideDown;
    case SDLK_3:
        return PhoneKey::orientationLandscapeLeft;
    case SDLK_4:
        return PhoneKey::orientationLandscapeRight;
    case SDLK_5:
        return PhoneKey::orientationFaceUp;
    case SDLK_6:
        return PhoneKey::orientationFaceDown;
    case SDLK_LEFT:
        return PhoneKey::tiltLeft;
    case SDLK_RIGHT:
        return PhoneKey::tiltRight;
    case SDLK_UP:
        return PhoneKey::tiltForward;
    case SDLK_DOWN:
        return PhoneKey::tiltBack;
    case SDLK_0:
        return PhoneKey::tiltLevel;
    default:
        return std::nullopt;
    }
}

std::string_view name(PhoneKey key) {
    switch (key) {
    case PhoneKey::volumeUp:
        return "volumeUp";
    case PhoneKey::volumeDown:
        return "volumeDown";
    case PhoneKey::orientationPortrait:
        return "orientationPortrait";
    case PhoneKey::orientationPortraitUpsideDown:
        return "orientationPortraitUpsideDown";
    case PhoneKey::orientationLandscapeLeft:
        return "orientationLandscapeLeft";
    case PhoneKey::orientationLandscapeRight:
        return "orientationLandscapeRight";
    case PhoneKey::orientationFaceUp:
        return "orientationFaceUp";
    case PhoneKey::orientationFaceDown:
        return "orientationFaceDown";
    case PhoneKey::tiltLeft:
        return "tiltLeft";
    case PhoneKey::tiltRight:
        return "tiltRight";
    case PhoneKey::tiltForward:
        return "tiltForward";
    case PhoneKey::tiltBack:
        return "tiltBack";
    case PhoneKey::tiltLevel:
        return "tiltLevel";
    }
    return "?";
}

} // namespace qv::platform::window
