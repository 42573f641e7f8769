// The star-trail filter: frameCopy widens a frame into a filter texture;
// frameAccumulatorWithFilter adds the median of the new frame and the two
// previous ones, so a light seen in one frame only (an aircraft) is left out
// while a star seen in every frame stays.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Library.hpp"

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

QV_KERNEL_CLONES
void copyWide(const PassArguments& a, const Tile& tile) {
    forEachSampleIntoWide(a.texture(0), a.texture(1), tile,
                          [](auto sample, std::uint32_t& out) { out = sample; });
}

// t0 frame, t1 newer filter, t2 older filter, t3 sums.
bool checkFiltered(const PassArguments& a, std::string& why) {
    if (!checkSamplesIntoWide(a, why) || !requireTextures(a, 4, why)) {
        return false;
    }
    for (std::size_t i = 2; i < 4; ++i) {
        if (!require(isUint32(a.texture(i).pixelFormat()) && sameChannels(a, 0, i), why,
                     "textures 1 to 3 must be 32-bit with the frame's channels")) {
            return false;
        }
    }
    return true;
}

QV_KERNEL_CLONES
void filteredAccumulate(const PassArguments& a, const Tile& tile) {
    const Texture& frame = a.texture(0);
    const std::size_t n = channelsPerRow(frame, tile);
    withUintType(frame.pixelFormat(), [&](auto sample) {
        using S = decltype(sample);
        for (std::size_t y = tile.y0; y < tile.y1; ++y) {
            const S* __restrict in = channels<const S>(frame, y, tile);
            const std::uint32_t* __restrict newer =
                channels<const std::uint32_t>(a.texture(1), y, tile);
            std::uint32_t* __restrict older = channels<std::uint32_t>(a.texture(2), y, tile);
            std::uint32_t* __restrict sum = channels<std::uint32_t>(a.texture(3), y, tile);
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint32_t v = in[i];
                const std::uint32_t b = newer[i];
                const std::uint32_t c = older[i];
                const std::uint32_t median = std::max(std::min(v, b), std::min(std::max(v, b), c));
                sum[i] = saturatingAdd(sum[i], median);
                older[i] = v;
            }
        }
    });
}

} // namespace

void registerFilterKernels() {
    registerKernel("frameCopy", Kernel{checkSamplesIntoWide, copyWide});
    registerKernel("frameAccumulatorWithFilter", Kernel{checkFiltered, filteredAccumulate});
}

} // namespace qv::kernels::parts
