#include "platform/audio/AudioSession.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/system/OutputVolume.hpp"

#include <atomic>

namespace qv::platform {

namespace {

// Set by a test's thread, read wherever the app activates its session.
std::atomic<bool> sessionsFail{false};

} // namespace

struct AudioSession::State {
    std::atomic<bool> active{false};
    Signal<float> volumeChanged;
    DispatchQueue queue{"audio session", QoS::userInitiated};
};

AudioSession::AudioSession() : state_(std::make_shared<State>()) {
    // The volume calls its observers on the thread that changed it; the report moves to the
    // session's queue. The state is shared with reports still queued after the session ends.
    volumeObserver_ =
        OutputVolume::shared().addObserver([state = state_](float oldLevel, float newLevel) {
            if (oldLevel != newLevel) {
                state->queue.async([state, newLevel] { state->volumeChanged.send(newLevel); });
            }
        });
}

AudioSession::~AudioSession() {
    OutputVolume::shared().removeObserver(volumeObserver_);
}

std::optional<std::string> AudioSession::setActive(bool active) {
    if (sessionsFail.load()) {
        return std::string(active ? "The audio session could not be activated"
                                  : "The audio session could not be deactivated");
    }
    state_->active.store(active);
    return std::nullopt;
}

bool AudioSession::isActive() const {
    return state_->active.load();
}

float AudioSession::outputVolume() const {
    return OutputVolume::shared().level();
}

Subscription AudioSession::observeOutputVolume(std::function<void(float)> observer) {
    return state_->volumeChanged.subscribe(std::move(observer));
}

ScopedAudioSessionFailure::ScopedAudioSessionFailure() : previous_(sessionsFail.exchange(true)) {}

ScopedAudioSessionFailure::~ScopedAudioSessionFailure() {
    sessionsFail.store(previous_);
}

} // namespace qv::platform
