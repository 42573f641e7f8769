#include "platform/audio/SystemSound.hpp"

#include "platform/audio/ShutterClick.hpp"
#include "platform/audio/SoundOutput.hpp"
#include "platform/system/OutputVolume.hpp"

#include <mutex>

namespace qv::platform {

namespace {

// Guards the current recorder and what it holds: a test records while queues play.
std::mutex recorderMutex;
SoundRecorder* currentRecorder = nullptr;

} // namespace

void playSystemSound(SystemSoundID sound) {
    if (sound != kShutterSound) {
        return;
    }
    const float volume = OutputVolume::shared().level();
    {
        std::lock_guard lock(recorderMutex);
        if (currentRecorder != nullptr) {
            currentRecorder->record({sound, volume});
            return;
        }
    }
    static const std::vector<float> click = shutterClick(SoundOutput::kSampleRate);
    std::vector<float> scaled = click;
    for (float& sample : scaled) {
        sample *= volume;
    }
    SoundOutput::shared().play(scaled);
}

void disposeSystemSound(SystemSoundID) {}

SoundRecorder::SoundRecorder() {
    std::lock_guard lock(recorderMutex);
    previous_ = currentRecorder;
    currentRecorder = this;
}

SoundRecorder::~SoundRecorder() {
    std::lock_guard lock(recorderMutex);
    currentRecorder = previous_;
}

void SoundRecorder::record(Played played) {
    played_.push_back(played);
}

std::vector<SoundRecorder::Played> SoundRecorder::played() const {
    std::lock_guard lock(recorderMutex);
    return played_;
}

std::vector<SystemSoundID> SoundRecorder::sounds() const {
    std::lock_guard lock(recorderMutex);
    std::vector<SystemSoundID> sounds;
    for (const Played& each : played_) {
        sounds.push_back(each.sound);
    }
    return sounds;
}

} // namespace qv::platform
