#pragma once

#include "platform/audio/AudioSession.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/state/Signal.hpp"

namespace qv {

class CameraManager;

// The volume keys as a shutter release ("volumeShutter"): while armed, a change of the
// output volume presses the shutter and the volume is put back, so it never drifts and the
// next press is seen again.
//
// Setting on: the volume to return to is the current one kept within 0.1...0.9 (and set so
// when it lay outside); the audio session is activated ("audio problem" when it refuses)
// and the volume is observed from one second later. Setting off (and the app going to the
// background): the session is deactivated and, when that works, the observation ends.
//
// Presses and restores are told apart by level: a change back to the kept volume is the
// restore and does nothing; any other change is a press. So two quick presses before the
// restore are a start and an abort, and a restore never releases the shutter.
//
// Threads: setup and disable on the main queue; the session reports changes on its own
// queue, and the handler hops to the main queue before it presses.
class VolumeShutter {
public:
    explicit VolumeShutter(CameraManager& owner) : camera(owner) {}
    VolumeShutter(const VolumeShutter&) = delete;
    VolumeShutter& operator=(const VolumeShutter&) = delete;

    // Arms or disarms by the setting.
    void setup();
    // The setting-off steps, whatever the setting.
    void disable();

    bool isArmed() const { return observation_.has_value(); }

private:
    void observeOutputVolume();
    void volumeDidChange(float level);

    CameraManager& camera;
    platform::AudioSession audioSession_;
    float audioSessionVolume_ = 0; // the level a press is undone to
    platform::CancelToken pendingObservation_;
    std::optional<platform::Subscription> observation_;
};

} // namespace qv
