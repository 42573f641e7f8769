#include "platform/capture/scene/detail/SensorRow.hpp"

#include "platform/compute/VectorClones.hpp"

namespace qv::platform::detail {

namespace {

// Written as selections so the loops stay free of branches and vectorise.
inline float atMost(float v, float high) {
    return v > high ? high : v;
}
inline float within(float v, float low, float high) {
    return atMost(v < low ? low : v, high);
}

} // namespace

QV_VECTOR_CLONES
void addNoise(const float* __restrict signal, float* __restrict out, std::size_t count,
              const NoiseRow& p) {
    const NoiseRow q = p;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = noisyValue(signal[i], std::uint32_t(i), q, q.dark);
    }
}

QV_VECTOR_CLONES
void toSamples(const float* __restrict values, std::uint16_t* __restrict out, std::size_t count,
               float black, float white) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = std::uint16_t(within(values[i] + black + 0.5f, 0.0f, white));
    }
}

QV_VECTOR_CLONES
void balanceToSrgb(const float* __restrict camera, float* __restrict srgb, std::size_t width,
                   float scale, const std::array<float, 3>& gains,
                   const std::array<float, 9>& matrix) {
    const float m0 = matrix[0], m1 = matrix[1], m2 = matrix[2], m3 = matrix[3], m4 = matrix[4],
                m5 = matrix[5], m6 = matrix[6], m7 = matrix[7], m8 = matrix[8];
    const float gr = gains[0] * scale;
    const float gg = gains[1] * scale;
    const float gb = gains[2] * scale;
    const float* red = camera;
    const float* green = camera + width;
    const float* blue = camera + 2 * width;
    float* __restrict outRed = srgb;
    float* __restrict outGreen = srgb + width;
    float* __restrict outBlue = srgb + 2 * width;
    for (std::size_t x = 0; x < width; ++x) {
        const float r = atMost(red[x] * gr, 1.0f);
        const float g = atMost(green[x] * gg, 1.0f);
        const float b = atMost(blue[x] * gb, 1.0f);
        outRed[x] = within(m0 * r + m1 * g + m2 * b, 0.0f, 1.0f);
        outGreen[x] = within(m3 * r + m4 * g + m5 * b, 0.0f, 1.0f);
        outBlue[x] = within(m6 * r + m7 * g + m8 * b, 0.0f, 1.0f);
    }
}

} // namespace qv::platform::detail
