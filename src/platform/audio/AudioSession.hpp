#pragma once
// The app's audio session: activated and deactivated by the app, and the one place that
// reports changes of the output volume (OutputVolume.hpp), as the phone's session does.
//
// Threads: safe to use from any thread. Volume reports run on the session's own serial
// queue ("audio session"), never on the main queue.

#include "platform/state/Signal.hpp"

#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

class AudioSession {
public:
    // A new session (not shared), observing the app's output volume.
    AudioSession();
    ~AudioSession();
    AudioSession(const AudioSession&) = delete;
    AudioSession& operator=(const AudioSession&) = delete;

    // Nothing on success; otherwise why it failed, and the session stays as it was.
    std::optional<std::string> setActive(bool active);
    bool isActive() const;

    // The app's output volume, 0 to 1.
    float outputVolume() const;

    // Called with the new level on the session's queue after each change of the output
    // volume's value; setting the level it already has reports nothing.
    [[nodiscard]] Subscription observeOutputVolume(std::function<void(float level)> observer);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::uint64_t volumeObserver_;
};

// Test seam: while one lives, every activation and deactivation fails.
class ScopedAudioSessionFailure {
public:
    ScopedAudioSessionFailure();
    ~ScopedAudioSessionFailure();
    ScopedAudioSessionFailure(const ScopedAudioSessionFailure&) = delete;
    ScopedAudioSessionFailure& operator=(const ScopedAudioSessionFailure&) = delete;

private:
    bool previous_;
};

} // namespace qv::platform
