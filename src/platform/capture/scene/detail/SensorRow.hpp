#pragma once

#include "platform/capture/scene/detail/NoiseHash.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qv::platform::detail {

// The noise of one row of photosite values (for RGB rows, three values a pixel).
struct NoiseRow {
    float range = 1;        // DN of the full range above black
    float dark = 0;         // DN of dark signal over the exposure
    float gain = 1;         // DN per electron
    float readVariance = 0; // DN squared
    std::uint32_t row = 0;
    std::uint32_t seed = 0;
};

// A value in DN above black with the shot noise of its signal and the read noise, from one
// standard normal draw.
inline float withNoise(float dn, float gain, float readVariance, float normal) {
    const float sigma = std::sqrt(dn * gain + readVariance);
    return dn + sigma * normal;
}

// Value i of the row in DN above black, with shot noise of its signal and dark signal and the
// read noise: one draw per value from its position and the frame's seed.
inline float noisyValue(float signal, std::uint32_t i, const NoiseRow& p, float dark) {
    const float dn = std::max(0.0f, signal) * p.range + dark;
    return withNoise(dn, p.gain, p.readVariance, gaussianOf(noiseHash(i, p.row, p.seed)));
}

// out[i] = noisyValue(signal[i], i, p, p.dark) for the whole row.
void addNoise(const float* signal, float* out, std::size_t count, const NoiseRow& p);

// out[i] = the value plus black, rounded and kept within 0...white.
void toSamples(const float* values, std::uint16_t* out, std::size_t count, float black,
               float white);

// Planes of camera red, green and blue in DN above black to planes of linear sRGB within
// 0...1: scaled to the range, white-balanced by the gains (each channel clipped at 1), then
// through the row-major matrix.
void balanceToSrgb(const float* camera, float* srgb, std::size_t width, float scale,
                   const std::array<float, 3>& gains, const std::array<float, 9>& matrix);

// How the rows of a live 'BGRA' frame are made from the sensor's values.
struct LiveRowEncoding {
    float gain = 0;         // DN per electron (0 with the read variance: no noise)
    float readVariance = 0; // DN squared
    float scale = 1;        // DN to fractions of the range
    std::array<float, 3> gains{1, 1, 1};
    std::array<float, 9> toSrgb{}; // row-major, from balanced camera RGB
};

// One row of a live frame, in one pass: planes of camera red, green and blue in DN above black
// (dark signal included, never negative) get the shot and read noise of withNoise() from the
// standard normal values of `noise` (a plane each), and are then encoded as a 'BGRA' photo is:
// balanceToSrgb(), the sRGB curve, 8 bits, alpha 255.
void noisyRowToBgra(const float* dn, const std::array<const float*, 3>& noise, std::uint32_t* out,
                    std::size_t width, const LiveRowEncoding& encoding);

} // namespace qv::platform::detail
