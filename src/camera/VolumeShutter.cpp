#include "camera/VolumeShutter.hpp"

#include "camera/CameraManager.hpp"
#include "model/SystemVolume.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Levels closer than this are the same level (the volume is kept as a float).
constexpr float sameLevel = 1e-4f;

} // namespace

void VolumeShutter::setup() {
    if (!camera.settings.useVolumeShutter.get()) {
        disable();
        return;
    }
    platform::print("setuo volume shutter");
    audioSessionVolume_ = std::clamp(audioSession_.outputVolume(), 0.1f, 0.9f);
    if (audioSession_.setActive(true)) {
        platform::print("audio problem");
        return;
    }
    if (audioSession_.outputVolume() != audioSessionVolume_) {
        setVolume(audioSessionVolume_);
    }
    pendingObservation_.cancel();
    pendingObservation_ = camera.onMainAfter(
        1.0, [](CameraManager& self) { self.volumeShutter_.observeOutputVolume(); });
}

void VolumeShutter::disable() {
    platform::print("disable volume shutter");
    if (audioSession_.setActive(false)) {
        return; // the observation stays, and presses still release the shutter
    }
    pendingObservation_.cancel();
    observation_.reset();
}

void VolumeShutter::observeOutputVolume() {
    // Replacing the observation ends the one before: one observation however often armed.
    observation_ = audioSession_.observeOutputVolume([weak = camera.weak_from_this()](float level) {
        if (const auto self = weak.lock()) {
            self->onMain(
                [level](CameraManager& owner) { owner.volumeShutter_.volumeDidChange(level); });
        }
    });
}

void VolumeShutter::volumeDidChange(float level) {
    if (std::fabs(level - audioSessionVolume_) < sameLevel) {
        return; // the volume put back after a press
    }
    camera.shutterReleasePressed();
    setVolume(audioSessionVolume_);
}

} // namespace qv
