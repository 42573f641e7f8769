#include "engine/kernels/KernelParts.hpp"

#include "engine/kernels/MergeKernels.hpp"

#include <mutex>

namespace qv::kernels {

void registerMergeKernels() {
    static std::once_flag once;
    std::call_once(once, [] {
        parts::registerAccumulationKernels();
        parts::registerAveragingKernels();
        parts::registerMaximumKernels();
        parts::registerFilterKernels();
        parts::registerNightKernels();
        parts::registerDebugKernels();
    });
}

namespace parts {

bool isUint(TextureFormat format) {
    switch (format) {
    case TextureFormat::r16Uint:
    case TextureFormat::r32Uint:
    case TextureFormat::rgba8Uint:
    case TextureFormat::rgba32Uint:
        return true;
    default:
        return false;
    }
}

bool isUint32(TextureFormat format) {
    return format == TextureFormat::r32Uint || format == TextureFormat::rgba32Uint;
}

bool isFloat(TextureFormat format) {
    return format == TextureFormat::rgba16Float || format == TextureFormat::rgba32Float;
}

bool require(bool condition, std::string& why, const char* reason) {
    if (!condition) {
        why = reason;
    }
    return condition;
}

bool requireTextures(const PassArguments& arguments, std::size_t count, std::string& why) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!arguments.hasTexture(i)) {
            why = "texture " + std::to_string(i) + " is not bound";
            return false;
        }
    }
    return true;
}

bool sameChannels(const PassArguments& arguments, std::size_t a, std::size_t b) {
    return channelCount(arguments.texture(a).pixelFormat()) ==
           channelCount(arguments.texture(b).pixelFormat());
}

bool checkSamplesIntoWide(const PassArguments& a, std::string& why) {
    return requireTextures(a, 2, why) &&
           require(isUint(a.texture(0).pixelFormat()), why, "texture 0 must be unsigned") &&
           require(isUint32(a.texture(1).pixelFormat()), why, "texture 1 must be 32-bit") &&
           require(sameChannels(a, 0, 1), why, "textures 0 and 1 differ in channels");
}

BayerColours BayerColours::from(const PassArguments& arguments, std::size_t index) {
    BayerColours colours;
    for (std::size_t i = 0; i < 4; ++i) {
        if (const auto colour = arguments.value<std::uint8_t>(index, i); colour && *colour < 3) {
            colours.cell[i] = *colour;
        }
    }
    return colours;
}

Triple Triple::from(const PassArguments& arguments, std::size_t index, std::uint32_t fallback) {
    Triple triple{{fallback, fallback, fallback}};
    for (std::size_t i = 0; i < 3; ++i) {
        triple.value[i] = arguments.value<std::uint32_t>(index, i).value_or(fallback);
    }
    return triple;
}

} // namespace parts
} // namespace qv::kernels
