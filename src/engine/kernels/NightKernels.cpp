// The night-mode sum: every Bayer sample is clamped to the limits of its
// colour before it is added.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Library.hpp"

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

bool checkNightSum(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::r16Uint, why,
                   "texture 0 must be R16Uint") &&
           require(a.texture(1).pixelFormat() == TextureFormat::r32Uint, why,
                   "texture 1 must be R32Uint") &&
           require(a.value<std::uint32_t>(0).has_value(), why,
                   "buffer 0 must hold the frame number");
}

// Adds the clamped samples of one row, two photosites (the row's two
// colours) at a time; `fresh` writes them instead.
template <bool fresh>
void nightRow(const std::uint16_t* __restrict in, std::uint32_t* __restrict sum, std::size_t x0,
              std::size_t x1, const std::uint32_t (&low)[2], const std::uint32_t (&high)[2]) {
    const auto one = [&](std::size_t x) {
        const std::uint32_t v = std::min(std::max(std::uint32_t(in[x]), low[x & 1]), high[x & 1]);
        sum[x] = fresh ? v : saturatingAdd(sum[x], v);
    };
    std::size_t x = x0;
    if (x & 1) {
        one(x++);
    }
    for (; x + 1 < x1; x += 2) {
        const std::uint32_t even = std::min(std::max(std::uint32_t(in[x]), low[0]), high[0]);
        const std::uint32_t odd = std::min(std::max(std::uint32_t(in[x + 1]), low[1]), high[1]);
        sum[x] = fresh ? even : saturatingAdd(sum[x], even);
        sum[x + 1] = fresh ? odd : saturatingAdd(sum[x + 1], odd);
    }
    if (x < x1) {
        one(x);
    }
}

QV_KERNEL_CLONES
void nightSum(const PassArguments& a, const Tile& tile) {
    const bool fresh = a.value<std::uint32_t>(0).value_or(0) == 0;
    const Triple lower = Triple::from(a, 2, 0);
    const Triple upper = Triple::from(a, 3, 0xFFFFFFFFu);
    const BayerColours colours = BayerColours::from(a, 5);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        // Two colours alternate along a row of a Bayer mosaic.
        const std::uint8_t even = colours.at(0, y);
        const std::uint8_t odd = colours.at(1, y);
        const std::uint32_t low[2] = {lower.value[even], lower.value[odd]};
        const std::uint32_t high[2] = {upper.value[even], upper.value[odd]};
        const std::uint16_t* in = a.texture(0).row<const std::uint16_t>(y);
        std::uint32_t* sum = a.texture(1).row<std::uint32_t>(y);
        if (fresh) {
            nightRow<true>(in, sum, tile.x0, tile.x1, low, high);
        } else {
            nightRow<false>(in, sum, tile.x0, tile.x1, low, high);
        }
    }
}

} // namespace

void registerNightKernels() {
    registerKernel("v2FrameAccumulator", Kernel{checkNightSum, nightSum});
}

} // namespace qv::kernels::parts
