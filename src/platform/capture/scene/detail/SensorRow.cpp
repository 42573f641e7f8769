#include "platform/capture/scene/detail/SensorRow.hpp"

#include "platform/capture/scene/detail/SrgbTable.hpp"
#include "platform/compute/VectorClones.hpp"

#include <algorithm>
#include <bit>

namespace qv::platform::detail {

namespace {

// Written as selections so the loops stay free of branches and vectorise.
inline float atMost(float v, float high) {
    return v > high ? high : v;
}
inline float within(float v, float low, float high) {
    return atMost(v < low ? low : v, high);
}

struct SrgbPixel {
    float red;
    float green;
    float blue;
};

// Camera RGB in DN, scaled by the gains (which include the scale to the range) and clipped at
// 1, through the row-major matrix to linear sRGB within 0...1.
inline SrgbPixel balancedSrgb(float red, float green, float blue, float gr, float gg, float gb,
                              const float* m) {
    const float r = atMost(red * gr, 1.0f);
    const float g = atMost(green * gg, 1.0f);
    const float b = atMost(blue * gb, 1.0f);
    return {within(m[0] * r + m[1] * g + m[2] * b, 0.0f, 1.0f),
            within(m[3] * r + m[4] * g + m[5] * b, 0.0f, 1.0f),
            within(m[6] * r + m[7] * g + m[8] * b, 0.0f, 1.0f)};
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
    const std::array<float, 9> m = matrix;
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
        const SrgbPixel c = balancedSrgb(red[x], green[x], blue[x], gr, gg, gb, m.data());
        outRed[x] = c.red;
        outGreen[x] = c.green;
        outBlue[x] = c.blue;
    }
}

QV_VECTOR_CLONES
void noisyRowToBgra(const float* __restrict dn, const std::array<const float*, 3>& noise,
                    std::uint32_t* __restrict out, std::size_t width,
                    const LiveRowEncoding& encoding) {
    static_assert(std::endian::native == std::endian::little); // blue is the lowest byte
    const std::uint32_t* __restrict table = SrgbTable::shared().values.data();
    const LiveRowEncoding e = encoding;
    const float gr = e.gains[0] * e.scale;
    const float gg = e.gains[1] * e.scale;
    const float gb = e.gains[2] * e.scale;
    const float* __restrict red = dn;
    const float* __restrict green = dn + width;
    const float* __restrict blue = dn + 2 * width;
    const float* __restrict noiseRed = noise[0];
    const float* __restrict noiseGreen = noise[1];
    const float* __restrict noiseBlue = noise[2];
    // In stretches: the arithmetic in one loop, the table in the next (the indices stay in
    // the first level of cache).
    constexpr std::size_t stretch = 128;
    std::int32_t indices[3][stretch];
    for (std::size_t start = 0; start < width; start += stretch) {
        const std::size_t count = std::min(stretch, width - start);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t x = start + i;
            const SrgbPixel c =
                balancedSrgb(withNoise(red[x], e.gain, e.readVariance, noiseRed[x]),
                             withNoise(green[x], e.gain, e.readVariance, noiseGreen[x]),
                             withNoise(blue[x], e.gain, e.readVariance, noiseBlue[x]), gr, gg, gb,
                             e.toSrgb.data());
            // As SrgbTable does it; the values are within 0...1 already.
            indices[0][i] = std::int32_t(c.blue * 4096.0f + 0.5f);
            indices[1][i] = std::int32_t(c.green * 4096.0f + 0.5f);
            indices[2][i] = std::int32_t(c.red * 4096.0f + 0.5f);
        }
        for (std::size_t i = 0; i < count; ++i) {
            out[start + i] = table[indices[0][i]] | table[indices[1][i]] << 8 |
                             table[indices[2][i]] << 16 | 0xFF000000u;
        }
    }
}

} // namespace qv::platform::detail
