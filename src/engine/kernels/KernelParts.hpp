#pragma once

#include "platform/compute/Kernel.hpp"
#include "platform/compute/VectorClones.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

// The row loops of every kernel are built for each processor level (VectorClones.hpp).
#define QV_KERNEL_CLONES QV_VECTOR_CLONES

// Building blocks shared by the kernel files (not part of the library's interface).
namespace qv::kernels::parts {

using platform::compute::PassArguments;
using platform::compute::Texture;
using platform::compute::TextureFormat;
using platform::compute::Tile;

void registerAccumulationKernels();
void registerAveragingKernels();
void registerMaximumKernels();
void registerFilterKernels();
void registerNightKernels();
void registerDebugKernels();

bool isUint(TextureFormat format);
bool isUint32(TextureFormat format);
bool isFloat(TextureFormat format);

// Refusal helpers for a kernel's check: true when fine, else `why` is set.
bool require(bool condition, std::string& why, const char* reason);
// Textures first..last bound.
bool requireTextures(const PassArguments& arguments, std::size_t count, std::string& why);
bool sameChannels(const PassArguments& arguments, std::size_t a, std::size_t b);
// The common binding of sums, maxima and filters: texture 0 unsigned samples,
// texture 1 32-bit unsigned with the same channels.
bool checkSamplesIntoWide(const PassArguments& arguments, std::string& why);

// Calls fn with a value of the channel type of an unsigned integer format.
template <class Fn>
void withUintType(TextureFormat format, Fn&& fn) {
    switch (format) {
    case TextureFormat::rgba8Uint:
        fn(std::uint8_t{});
        break;
    case TextureFormat::r16Uint:
        fn(std::uint16_t{});
        break;
    default:
        fn(std::uint32_t{});
        break;
    }
}

// The channels of texture `t` in the tile's columns of row y.
template <class T>
T* channels(const Texture& t, std::size_t y, const Tile& tile) {
    return t.row<T>(y) + tile.x0 * channelCount(t.pixelFormat());
}
inline std::size_t channelsPerRow(const Texture& t, const Tile& tile) {
    return (tile.x1 - tile.x0) * channelCount(t.pixelFormat());
}

// Calls op(sample, wide) for each channel of the tile: `sample` read from
// texture `frame` (any unsigned format), `wide` the same channel of 32-bit
// texture `wide`, passed by reference. The rows are walked through restrict
// pointers so a simple op vectorises.
template <class Op>
void forEachSampleIntoWide(const Texture& frame, const Texture& wide, const Tile& tile, Op&& op) {
    const std::size_t n = channelsPerRow(frame, tile);
    withUintType(frame.pixelFormat(), [&](auto sample) {
        using S = decltype(sample);
        for (std::size_t y = tile.y0; y < tile.y1; ++y) {
            const S* __restrict in = channels<const S>(frame, y, tile);
            std::uint32_t* __restrict out = channels<std::uint32_t>(wide, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                op(in[i], out[i]);
            }
        }
    });
}

inline std::uint32_t saturatingAdd(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t sum = a + b;
    return sum < a ? std::numeric_limits<std::uint32_t>::max() : sum;
}

template <class T>
constexpr std::uint32_t maxOf() {
    return std::numeric_limits<T>::max();
}

// v clamped into [0, top], with NaN giving 0 (std::clamp passes NaN through,
// and converting NaN to an integer is undefined). The constant comes first in
// each comparison so a NaN falls to it; loops over it still vectorise.
template <class F>
inline F clampToRange(F v, F top) {
    return std::min(top, std::max(F(0), v));
}

// A float rounded to nearest and clamped into [0, top]; NaN gives 0.
inline std::uint32_t roundedClamp(double value, double top) {
    return std::uint32_t(clampToRange(value + 0.5, top));
}

// The colour index (0 red, 1 green, 2 blue) of each sample of a 2x2 Bayer
// cell, from buffer `index`; RGGB when the buffer is not bound.
struct BayerColours {
    std::uint8_t cell[4] = {0, 1, 1, 2};
    static BayerColours from(const PassArguments& arguments, std::size_t index);
    std::uint8_t at(std::size_t x, std::size_t y) const { return cell[(y & 1) * 2 + (x & 1)]; }
};

// Three UInt32 from buffer `index` (limits of red, green and blue).
struct Triple {
    std::uint32_t value[3];
    static Triple from(const PassArguments& arguments, std::size_t index, std::uint32_t fallback);
};

} // namespace qv::kernels::parts
