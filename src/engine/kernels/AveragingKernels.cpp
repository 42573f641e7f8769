// Averages written into a photo: frameAverager(RGB), proFrameAverager,
// frameAverageBooster, frameAveragerNightMode, v2NightModeResult. A count of 0
// leaves the photo as it is.
#include "engine/kernels/KernelParts.hpp"
#include "engine/kernels/RoundedDivider.hpp"
#include "engine/kernels/StretchedDivider.hpp"
#include "engine/kernels/WholeStretchedDivider.hpp"
#include "platform/compute/Half.hpp"
#include "platform/compute/Library.hpp"

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

bool isPhotoUint(TextureFormat format) {
    return format == TextureFormat::r16Uint || format == TextureFormat::rgba8Uint;
}

// Calls fn with a value of the channel type of a photo texture (checked by checkAverage).
template <class Fn>
void withPhotoType(TextureFormat format, Fn&& fn) {
    if (format == TextureFormat::rgba8Uint) {
        fn(std::uint8_t{});
    } else {
        fn(std::uint16_t{});
    }
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
    withPhotoType(a.texture(0).pixelFormat(), [&](auto sample) {
        averageRows<decltype(sample)>(a.texture(0), a.texture(1), count, tile);
    });
}

// t0 (16-bit normalised) = t1 (float sums) / count.
bool checkProAverage(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::rgba16Unorm, why,
                   "texture 0 must be RGBA16Unorm") &&
           require(isFloat(a.texture(1).pixelFormat()), why, "texture 1 must be float") &&
           require(a.value<std::uint32_t>(0).has_value(), why, "buffer 0 must hold the count");
}

QV_KERNEL_CLONES
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

// mean = t1 / count; above the pivot the distance to it is multiplied.
void boostedAverage(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const double factor = a.value<float>(1).value_or(1.0f);
    const std::uint32_t pivot = a.value<std::uint32_t>(2).value_or(0);
    const Texture& photo = a.texture(0);
    withPhotoType(photo.pixelFormat(), [&](auto sample) {
        using P = decltype(sample);
        const StretchedDivider boost(count, factor, pivot, maxOf<P>());
        const std::size_t n = channelsPerRow(photo, tile);
        for (std::size_t y = tile.y0; y < tile.y1; ++y) {
            boost.apply(channels<const std::uint32_t>(a.texture(1), y, tile),
                        channels<P>(photo, y, tile), n);
        }
    });
}

// t0 (photo) = b1 (UInt32 gain) x (t1 + t2) / b0: the mean of two sums that
// together hold b0 frames.
bool checkPairAverage(const PassArguments& a, std::string& why) {
    return checkAverage(a, why) && requireTextures(a, 3, why) &&
           require(isUint32(a.texture(2).pixelFormat()), why, "texture 2 must be 32-bit sums") &&
           require(sameChannels(a, 0, 2), why, "textures 0 and 2 differ in channels");
}

template <class P>
QV_KERNEL_CLONES void pairAverageRows(const Texture& photo, const Texture& first,
                                      const Texture& second, const StretchedDivider& divide,
                                      const Tile& tile) {
    const std::size_t n = channelsPerRow(photo, tile);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        const std::uint32_t* __restrict a = channels<const std::uint32_t>(first, y, tile);
        const std::uint32_t* __restrict b = channels<const std::uint32_t>(second, y, tile);
        P* __restrict out = channels<P>(photo, y, tile);
        if (!divide.saturatesSafely()) {
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = P(divide.ofWideSum(double(a[i]) + double(b[i])));
            }
            continue;
        }
        // Sums that saturate give the value of the true sum: add a chunk, then divide it.
        constexpr std::size_t chunk = 1024;
        std::uint32_t both[chunk];
        for (std::size_t i = 0; i < n; i += chunk) {
            const std::size_t m = std::min(chunk, n - i);
            for (std::size_t j = 0; j < m; ++j) {
                both[j] = saturatingAdd(a[i + j], b[i + j]);
            }
            divide.apply(both, out + i, m);
        }
    }
}

void pairAverage(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const double gain = a.value<std::uint32_t>(1).value_or(1);
    const Texture& photo = a.texture(0);
    withPhotoType(photo.pixelFormat(), [&](auto sample) {
        using P = decltype(sample);
        const StretchedDivider divide(count, gain, 0, maxOf<P>());
        pairAverageRows<P>(photo, a.texture(1), a.texture(2), divide, tile);
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

// Divider: WholeStretchedDivider, or StretchedDivider where the whole form does not hold.
template <class Divider>
void nightRows(const Divider& stretch, const Texture& photo, const Texture& sum,
               const Triple& upper, const BayerColours& colours, const Tile& tile) {
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        // Two colours alternate along a row of a Bayer mosaic.
        const auto capOf = [&](std::size_t x) {
            return std::uint16_t(std::min(65535u, upper.value[colours.at(x, y)]));
        };
        stretch.apply(sum.row<const std::uint32_t>(y) + tile.x0,
                      photo.row<std::uint16_t>(y) + tile.x0, tile.x1 - tile.x0,
                      {capOf(tile.x0), capOf(tile.x0 + 1)});
    }
}

void nightResult(const PassArguments& a, const Tile& tile) {
    const std::uint32_t count = countOf(a);
    if (count == 0) {
        return;
    }
    const std::uint32_t black = a.value<std::uint32_t>(1).value_or(0);
    const Triple upper = Triple::from(a, 3, 0xFFFFFFFFu);
    const double gain = a.value<float>(4).value_or(1.0f); // not finite: 1
    const BayerColours colours = BayerColours::from(a, 5);
    if (const auto whole = WholeStretchedDivider::make(count, gain, black, 65535)) {
        nightRows(*whole, a.texture(0), a.texture(1), upper, colours, tile);
    } else {
        nightRows(StretchedDivider(count, gain, black, 65535), a.texture(0), a.texture(1), upper,
                  colours, tile);
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
