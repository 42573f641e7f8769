// Sums and clears: frameAccumulator, lightTrailer(RGB), proFrameAccumulator,
// resetAccumulator, proResetAccumulator.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Half.hpp"
#include "platform/compute/Library.hpp"

#include <cstring>

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

// t1 (32-bit sums) += t0 (unsigned samples), channel by channel.
QV_KERNEL_CLONES
void accumulate(const PassArguments& a, const Tile& tile) {
    forEachSampleIntoWide(a.texture(0), a.texture(1), tile, [](auto sample, std::uint32_t& sum) {
        sum = saturatingAdd(sum, sample);
    });
}

// t1 += t0 and t2 = max(t2, t0).
bool checkLightTrail(const PassArguments& a, std::string& why) {
    return checkSamplesIntoWide(a, why) && requireTextures(a, 3, why) &&
           require(isUint32(a.texture(2).pixelFormat()), why, "texture 2 must be 32-bit") &&
           require(sameChannels(a, 0, 2), why, "textures 0 and 2 differ in channels");
}

template <class S>
void lightTrailRows(const Texture& frame, const Texture& sum, const Texture& maximum,
                    const Tile& tile) {
    const std::size_t n = channelsPerRow(frame, tile);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        const S* __restrict in = channels<const S>(frame, y, tile);
        std::uint32_t* __restrict total = channels<std::uint32_t>(sum, y, tile);
        std::uint32_t* __restrict top = channels<std::uint32_t>(maximum, y, tile);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t v = in[i];
            total[i] = saturatingAdd(total[i], v);
            top[i] = std::max(top[i], v);
        }
    }
}

QV_KERNEL_CLONES
void lightTrail(const PassArguments& a, const Tile& tile) {
    withUintType(a.texture(0).pixelFormat(), [&](auto sample) {
        lightTrailRows<decltype(sample)>(a.texture(0), a.texture(1), a.texture(2), tile);
    });
}

// t1 (float sums) += t0 (16-bit normalised) / 65535.
bool checkProAccumulate(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::rgba16Unorm, why,
                   "texture 0 must be RGBA16Unorm") &&
           require(isFloat(a.texture(1).pixelFormat()), why, "texture 1 must be float");
}

QV_KERNEL_CLONES
void proAccumulate(const PassArguments& a, const Tile& tile) {
    const Texture& frame = a.texture(0);
    const Texture& sum = a.texture(1);
    const std::size_t n = channelsPerRow(frame, tile);
    constexpr float scale = 1.0f / 65535.0f;
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        const std::uint16_t* __restrict in = channels<const std::uint16_t>(frame, y, tile);
        if (sum.pixelFormat() == TextureFormat::rgba32Float) {
            float* __restrict out = channels<float>(sum, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] += float(in[i]) * scale;
            }
        } else {
            std::uint16_t* out = channels<std::uint16_t>(sum, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                using platform::compute::floatFromHalf;
                using platform::compute::halfFromFloat;
                out[i] = halfFromFloat(floatFromHalf(out[i]) + float(in[i]) * scale);
            }
        }
    }
}

// t0 = 0 in any format (zero bits are zero in every format).
bool checkReset(const PassArguments& a, std::string& why) {
    return requireTextures(a, 1, why);
}

void reset(const PassArguments& a, const Tile& tile) {
    const Texture& t = a.texture(0);
    const std::size_t texel = bytesPerTexel(t.pixelFormat());
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        std::memset(t.row<std::byte>(y) + tile.x0 * texel, 0, (tile.x1 - tile.x0) * texel);
    }
}

} // namespace

void registerAccumulationKernels() {
    registerKernel("frameAccumulator", Kernel{checkSamplesIntoWide, accumulate});
    registerKernel("lightTrailer", Kernel{checkLightTrail, lightTrail});
    registerKernel("lightTrailerRGB", Kernel{checkLightTrail, lightTrail});
    registerKernel("proFrameAccumulator", Kernel{checkProAccumulate, proAccumulate});
    registerKernel("resetAccumulator", Kernel{checkReset, reset});
    registerKernel("proResetAccumulator", Kernel{checkReset, reset});
}

} // namespace qv::kernels::parts
