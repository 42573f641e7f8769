#include "platform/audio/SoundOutput.hpp"

#include "platform/console/Console.hpp"

#include <SDL.h>
#include <alsa/asoundlib.h>
#include <mutex>

namespace qv::platform {

namespace {

void ignoreAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                     const char* /*format*/, ...) {}

// ALSA's library prints a line of its own on standard error for each step that fails while
// it looks for a device ("ALSA lib confmisc.c:855:(parse_card) cannot find card '0'", eight
// of them on a machine without a sound card) before SDL, which loads that same library,
// reports the failure. The app says it in its one line instead.
void quietAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(ignoreAlsaError); });
}

} // namespace

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
    quietAlsa();
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
