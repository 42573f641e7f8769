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

void nightSum(const PassArguments& a, const Tile& tile) {
    const bool fresh = a.value<std::uint32_t>(0).value_or(0) == 0;
    const Triple lower = Triple::from(a, 2, 0);
    const Triple upper = Triple::from(a, 3, 0xFFFFFFFFu);
    const BayerColours colours = BayerColours::from(a, 5);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        const std::uint8_t even = colours.at(0, y);
        const std::uint8_t odd = colours.at(1, y);
        const std::uint32_t lowEven = lower.value[even];
        const std::uint32_t lowOdd = lower.value[odd];
        const std::uint32_t highEven = upper.value[even];
        const std::uint32_t highOdd = upper.value[odd];
        const std::uint16_t* __restrict in = a.texture(0).row<const std::uint16_t>(y);
        std::uint32_t* __restrict sum = a.texture(1).row<std::uint32_t>(y);
        for (std::size_t x = tile.x0; x < tile.x1; ++x) {
            const bool isOdd = x & 1;
            const std::uint32_t low = isOdd ? lowOdd : lowEven;
            const std::uint32_t high = isOdd ? highOdd : highEven;
            const std::uint32_t v = std::min(std::max(std::uint32_t(in[x]), low), high);
            sum[x] = fresh ? v : saturatingAdd(sum[x], v);
        }
    }
}

} // namespace

void registerNightKernels() {
    registerKernel("v2FrameAccumulator", Kernel{checkNightSum, nightSum});
}

} // namespace qv::kernels::parts
