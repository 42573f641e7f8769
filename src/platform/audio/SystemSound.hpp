#pragma once
// The phone's built-in sounds. Only the camera's shutter sound exists here; it is made in
// code (ShutterClick.hpp), so the app carries no sound files.
//
// Threads: safe to call from any thread; a sound plays while the caller goes on.

#include <cstdint>
#include <vector>

namespace qv::platform {

using SystemSoundID = std::uint32_t;

// The shutter sound the phone plays when a photo is taken.
inline constexpr SystemSoundID kShutterSound = 1108;

// Plays a built-in sound on the app's sound output (SoundOutput.hpp), scaled by the output
// volume. Other numbers name no sound here and play nothing.
void playSystemSound(SystemSoundID sound);
// Built-in sounds are never disposed of: this does nothing for them (nor for others).
void disposeSystemSound(SystemSoundID sound);

// Test seam: while one lives, sounds are recorded here instead of played.
class SoundRecorder {
public:
    struct Played {
        SystemSoundID sound;
        float volume; // the output volume it played at
    };

    SoundRecorder();
    ~SoundRecorder();
    SoundRecorder(const SoundRecorder&) = delete;
    SoundRecorder& operator=(const SoundRecorder&) = delete;

    std::vector<Played> played() const;
    std::vector<SystemSoundID> sounds() const;

private:
    friend void playSystemSound(SystemSoundID);
    void record(Played played);

    SoundRecorder* previous_;
    std::vector<Played> played_; // guarded by the recorders' lock
};

} // namespace qv::platform
