// Running maxima: starTrailer folds a frame into the maximum; getMaxFrame,
// getMaxFrameRGB and starTrailer2 copy the maximum into a photo.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Library.hpp"

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

// t1 (32-bit maximum) = t0 where t0 exceeds it by more than c0. In 32 bits:
// top + c0 saturates, and no sample exceeds 2^32 - 1.
QV_KERNEL_CLONES
void fold(const PassArguments& a, const Tile& tile) {
    const std::uint32_t margin = Triple::from(a, 0, 0).value[0];
    forEachSampleIntoWide(a.texture(0), a.texture(1), tile,
                          [margin](auto sample, std::uint32_t& top) {
                              const std::uint32_t v = sample;
                              top = v > saturatingAdd(top, margin) ? v : top;
                          });
}

// t1 (photo) = t0 (32-bit maximum), clamped to the photo's format.
bool checkCopyOut(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(isUint32(a.texture(0).pixelFormat()), why, "texture 0 must be 32-bit") &&
           require(isUint(a.texture(1).pixelFormat()), why, "texture 1 must be unsigned") &&
           require(sameChannels(a, 0, 1), why, "textures 0 and 1 differ in channels");
}

QV_KERNEL_CLONES
void copyOut(const PassArguments& a, const Tile& tile) {
    const Texture& maximum = a.texture(0);
    const Texture& photo = a.texture(1);
    const std::size_t n = channelsPerRow(photo, tile);
    withUintType(photo.pixelFormat(), [&](auto sample) {
        using P = decltype(sample);
        for (std::size_t y = tile.y0; y < tile.y1; ++y) {
            const std::uint32_t* __restrict in = channels<const std::uint32_t>(maximum, y, tile);
            P* __restrict out = channels<P>(photo, y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = P(std::min(in[i], maxOf<P>()));
            }
        }
    });
}

} // namespace

void registerMaximumKernels() {
    registerKernel("starTrailer", Kernel{checkSamplesIntoWide, fold});
    registerKernel("getMaxFrame", Kernel{checkCopyOut, copyOut});
    registerKernel("getMaxFrameRGB", Kernel{checkCopyOut, copyOut});
    registerKernel("starTrailer2", Kernel{checkCopyOut, copyOut});
}

} // namespace qv::kernels::parts
