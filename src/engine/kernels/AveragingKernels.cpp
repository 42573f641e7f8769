// Averages written into a photo: frameAverager(RGB), proFrameAverager,
// frameAverageBooster, frameAveragerNightMode, v2NightModeResult. A count of 0
// leaves the photo as it is.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Half.hpp"
#include "platform/compute/Library.hpp"

#include <cmath>

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

bool isPhotoUint(TextureFormat format) {
    return format == TextureFormat::r16Uint || format == TextureFormat::rgba8Uint;
}

std::uint32_t countOf(const PassArguments& a) {
    return a.value<std::uint32_t>(0).value_or(0);
}

// t0 (8- or 16-bit photo) = t1 (32-bit sums) / count.
bool checkAverage(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(isPhotoUint(a.texture(0).pixelFormat()), why,
                   "texture 0 must be an 8- or 16-bit photo") &&
           require(isUint32(a.texture(1).pixelFormat()), why, "texture 1 must be 32-bit sums") &&
           require(sameChannels(a, 0, 1), why, "textures 0 and 1 differ in channels") &&
           require(a.value<std::uint32_t>(0).has_value(), why, "buffer 0 must hold the count");
}

template <class P>
void averageRows(const Texture& photo, const Texture& sum, std::uint32_t count, const Tile& tile) {
    const RoundedDivider divide(count, maxOf<P>());
    const std::size_t n = channelsPerRow(photo, tile);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        divide.apply(channels<const std::uint32_t>(sum, y, tile), channels<P>(photo, y, tile), n);
    }
}

void average(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    if (a.texture(0).pixelFormat() == TextureFormat::rgba8Uint) {
        averageRows<std::uint8_t>(a.texture(0), a.texture(1), count, tile);
    } else {
        averageRows<std::uint16_t>(a.texture(0), a.texture(1), count, tile);
    }
}

// t0 (16-bit normalised) = t1 (float sums) / count.
bool checkProAverage(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::rgba16Unorm, why,
                   "texture 0 must be RGBA16Unorm") &&
           require(isFloat(a.texture(1).pixelFormat()), why, "texture 1 must be float") &&
           require(a.value<std::uint32_t>(0).has_value(), why, "buffer 0 must hold the count");
}

void proAverage(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const Texture& photo = a.texture(0);
    const Texture& sum = a.texture(1);
    const std::size_t n = channelsPerRow(photo, tile);
    const float scale = 65535.0f / float(count);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        std::uint16_t* __restrict out = channels<std::uint16_t>(photo, y, tile);
        if (sum.pixelFormat() == TextureFormat::rgba32Float) {
            const float* __restrict in = channels<const float>(sum, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = std::uint16_t(clampToRange(in[i] * scale + 0.5f, 65535.0f));
            }
        } else {
            const std::uint16_t* in = channels<const std::uint16_t>(sum, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                const float v = platform::compute::floatFromHalf(in[i]) * scale;
                out[i] = std::uint16_t(clampToRange(v + 0.5f, 65535.0f));
            }
        }
    }
}

// Writes rowValues(y)(i) into every channel i of the tile's row y of the
// photo, rounded and clamped to the photo's format.
template <class RowValues>
void writeRounded(const Texture& photo, const Tile& tile, RowValues&& rowValues) {
    const std::size_t n = channelsPerRow(photo, tile);
    withUintType(photo.pixelFormat(), [&](auto sample) {
        using P = decltype(sample);
        const double top = maxOf<P>();
        for (std::size_t y = tile.y0; y < tile.y1; ++y) {
            P* __restrict out = channels<P>(photo, y, tile);
            const auto value = rowValues(y);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = P(roundedClamp(value(i), top));
            }
        }
    });
}

// mean = t1 / count; above the pivot the distance to it is multiplied.
void boostedAverage(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const double factor = a.value<float>(1).value_or(1.0f);
    const double pivot = a.value<std::uint32_t>(2).value_or(0);
    const double inverse = 1.0 / count;
    writeRounded(a.texture(0), tile, [&](std::size_t y) {
        const std::uint32_t* __restrict in = channels<const std::uint32_t>(a.texture(1), y, tile);
        return [=](std::size_t i) {
            const double mean = in[i] * inverse;
            return mean > pivot ? pivot + factor * (mean - pivot) : mean;
        };
    });
}

// t0 (photo) = b1 (UInt32 gain) x (t1 + t2) / b0: the mean of two sums that
// together hold b0 frames.
bool checkPairAverage(const PassArguments& a, std::string& why) {
    return checkAverage(a, why) && requireTextures(a, 3, why) &&
           require(isUint32(a.texture(2).pixelFormat()), why, "texture 2 must be 32-bit sums") &&
           require(sameChannels(a, 0, 2), why, "textures 0 and 2 differ in channels");
}

void pairAverage(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const double scale = double(a.value<std::uint32_t>(1).value_or(1)) / count;
    writeRounded(a.texture(0), tile, [&](std::size_t y) {
        const std::uint32_t* first = channels<const std::uint32_t>(a.texture(1), y, tile);
        const std::uint32_t* second = channels<const std::uint32_t>(a.texture(2), y, tile);
        return [=](std::size_t i) { return (double(first[i]) + second[i]) * scale; };
    });
}

// The night result over a Bayer frame: mean above black is multiplied by the
// gain, then the colour's upper limit and 16 bits cap it.
bool checkNightResult(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::r16Uint, why,
                   "texture 0 must be R16Uint") &&
           require(a.texture(1).pixelFormat() == TextureFormat::r32Uint, why,
                   "texture 1 must be R32Uint") &&
           require(a.value<std::uint32_t>(0).has_value(), why, "buffer 0 must hold the count");
}

void nightResult(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const double black = a.value<std::uint32_t>(1).value_or(0);
    const Triple upper = Triple::from(a, 3, 0xFFFFFFFFu);
    const float bound = a.value<float>(4).value_or(1.0f);
    const double gain = std::isfinite(bound) ? bound : 1.0;
    const BayerColours colours = BayerColours::from(a, 5);
    const double inverse = 1.0 / count;
    const Texture& photo = a.texture(0);
    const Texture& sum = a.texture(1);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        // Two colours alternate along a row of a Bayer mosaic.
        const double capEven = std::min(65535.0, double(upper.value[colours.at(0, y)]));
        const double capOdd = std::min(65535.0, double(upper.value[colours.at(1, y)]));
        std::uint16_t* __restrict out = photo.row<std::uint16_t>(y);
        const std::uint32_t* __restrict in = sum.row<const std::uint32_t>(y);
        for (std::size_t x = tile.x0; x < tile.x1; ++x) {
            const double mean = in[x] * inverse;
            const double value = mean > black ? black + gain * (mean - black) : mean;
            const double cap = (x & 1) ? capOdd : capEven;
            out[x] = std::uint16_t(roundedClamp(std::min(value, cap), cap));
        }
    }
}

} // namespace

void registerAveragingKernels() {
    registerKernel("frameAverager", Kernel{checkAverage, average});
    registerKernel("frameAveragerRGB", Kernel{checkAverage, average});
    registerKernel("proFrameAverager", Kernel{checkProAverage, proAverage});
    registerKernel("frameAverageBooster", Kernel{checkAverage, boostedAverage});
    registerKernel("frameAveragerNightMode", Kernel{checkPairAverage, pairAverage});
    registerKernel("v2NightModeResult", Kernel{checkNightResult, nightResult});
}

} // namespace qv::kernels::parts
