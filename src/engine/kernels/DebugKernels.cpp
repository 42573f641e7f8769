// proOneValue: sets every channel of a 16-bit normalised photo to one value,
// for checking that a kernel reaches a photo's pixels.
#include "engine/kernels/KernelParts.hpp"
#include "platform/compute/Library.hpp"

namespace qv::kernels::parts {

namespace {

using platform::compute::Kernel;
using platform::compute::registerKernel;

bool checkOneValue(const PassArguments& a, std::string& why) {
    return requireTextures(a, 1, why) &&
           require(a.texture(0).pixelFormat() == TextureFormat::rgba16Unorm, why,
                   "texture 0 must be RGBA16Unorm");
}

void oneValue(const PassArguments& a, const Tile& tile) {
    const double level = a.value<float>(0).value_or(1.0f);
    const auto value = std::uint16_t(roundedClamp(level * 65535.0, 65535.0));
    const Texture& photo = a.texture(0);
    const std::size_t n = channelsPerRow(photo, tile);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        std::uint16_t* out = channels<std::uint16_t>(photo, y, tile);
        std::fill(out, out + n, value);
    }
}

} // namespace

void registerDebugKernels() {
    registerKernel("proOneValue", Kernel{checkOneValue, oneValue});
}

} // namespace qv::kernels::parts
