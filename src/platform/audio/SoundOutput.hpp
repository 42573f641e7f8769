#pragma once
// The app's sound device: opened through SDL at the first sound, mono 32-bit float at
// 48 kHz; sounds are queued to it and play while the caller goes on.
//
// Threads: safe to use from any thread.

#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::platform {

class SoundOutput {
public:
    static constexpr int kSampleRate = 48000;

    // The app's one output.
    static SoundOutput& shared();

    SoundOutput() = default;
    ~SoundOutput(); // closes the device
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Queues `samples` behind what is still playing. The first call opens the device;
    // without one, one line says so and this and every later sound is silent.
    void play(const std::vector<float>& samples);
    // Bytes queued and not yet played (0 without a device).
    std::uint32_t pendingBytes() const;
    // Closes the device once what was handed to it has played out; the next sound opens
    // it again (and says once more when there is none).
    void close();

private:
    bool open(); // with the mutex held

    mutable std::mutex mutex_; // guards the device between the threads that play
    std::uint32_t device_ = 0;
    bool tried_ = false;
};

} // namespace qv::platform
