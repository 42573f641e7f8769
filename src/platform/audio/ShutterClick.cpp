#include "platform/audio/ShutterClick.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>
#include <cstdint>

namespace qv::platform {

namespace {

// One click: white noise from a fixed seed, smoothed by a one-pole low-pass filter, under
// an envelope with a 1 ms attack and an exponential decay.
void addClick(std::vector<float>& out, int sampleRate, double start, double length, double loudness,
              double decay, std::uint32_t seed) {
    const auto first = saturatingCast<std::size_t>(start * sampleRate);
    const auto count = saturatingCast<std::size_t>(length * sampleRate);
    const double attack = 0.001 * sampleRate;
    double smoothed = 0;
    for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
        seed = seed * 1664525u + 1013904223u; // a linear congruential generator
        const double noise = static_cast<double>(seed >> 8) / static_cast<double>(1u << 23) - 1.0;
        smoothed += 0.45 * (noise - smoothed);
        const double t = static_cast<double>(i);
        const double envelope = std::min(1.0, t / attack) * std::exp(-t / (decay * sampleRate));
        out[first + i] += static_cast<float>(loudness * envelope * smoothed);
    }
}

} // namespace

std::vector<float> shutterClick(int sampleRate) {
    constexpr double kLength = 0.09; // seconds
    std::vector<float> samples(saturatingCast<std::size_t>(kLength * sampleRate), 0.0f);
    addClick(samples, sampleRate, 0.0, 0.03, 0.9, 0.006, 20240101u);
    addClick(samples, sampleRate, 0.055, 0.035, 0.7, 0.008, 19700101u);
    return samples;
}

} // namespace qv::platform
