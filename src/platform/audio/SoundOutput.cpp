#include "platform/audio/SoundOutput.hpp"

#include "platform/console/Console.hpp"

#include <SDL.h>

namespace qv::platform {

SoundOutput& SoundOutput::shared() {
    static SoundOutput output;
    return output;
}

SoundOutput::~SoundOutput() {
    close();
}

void SoundOutput::close() {
    std::lock_guard lock(mutex_);
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_); // lets the device's thread finish its buffer
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device_ = 0;
    }
    tried_ = false;
}

bool SoundOutput::open() {
    if (tried_) {
        return device_ != 0;
    }
    tried_ = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        print(std::string("There is no sound device; sounds stay silent (") + SDL_GetError() + ")");
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = kSampleRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 1;
    wanted.samples = 1024;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0); // SDL converts for us
    if (device_ == 0) {
        print(std::string("There is no sound device; sounds stay silent (") + SDL_GetError() + ")");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SoundOutput::play(const std::vector<float>& samples) {
    std::lock_guard lock(mutex_);
    if (open() && !samples.empty()) {
        SDL_QueueAudio(device_, samples.data(),
                       static_cast<std::uint32_t>(samples.size() * sizeof(float)));
    }
}

std::uint32_t SoundOutput::pendingBytes() const {
    std::lock_guard lock(mutex_);
    return device_ != 0 ? SDL_GetQueuedAudioSize(device_) : 0;
}

} // namespace qv::platform
