#include "KernelTestPass.hpp"

#include "engine/kernels/MergeKernels.hpp"
#include "platform/compute/Half.hpp"

#include <cstring>
#include <stdexcept>

namespace qv::kernels::testing {

using namespace platform::compute;

namespace {

double channel(const Texture& t, std::size_t y, std::size_t i) {
    switch (t.pixelFormat()) {
    case TextureFormat::rgba8Uint:
        return t.row<std::uint8_t>(y)[i];
    case TextureFormat::r16Uint:
    case TextureFormat::rgba16Unorm:
        return t.row<std::uint16_t>(y)[i];
    case TextureFormat::rgba16Float:
        return floatFromHalf(t.row<std::uint16_t>(y)[i]);
    case TextureFormat::rgba32Float:
        return t.row<float>(y)[i];
    default:
        return t.row<std::uint32_t>(y)[i];
    }
}

} // namespace

void setChannel(const Texture& t, std::size_t y, std::size_t i, double v) {
    switch (t.pixelFormat()) {
    case TextureFormat::rgba8Uint:
        t.row<std::uint8_t>(y)[i] = std::uint8_t(v);
        break;
    case TextureFormat::r16Uint:
    case TextureFormat::rgba16Unorm:
        t.row<std::uint16_t>(y)[i] = std::uint16_t(v);
        break;
    case TextureFormat::rgba16Float:
        t.row<std::uint16_t>(y)[i] = halfFromFloat(float(v));
        break;
    case TextureFormat::rgba32Float:
        t.row<float>(y)[i] = float(v);
        break;
    default:
        t.row<std::uint32_t>(y)[i] = std::uint32_t(v);
        break;
    }
}

Texture makeTexture(TextureFormat format, std::size_t width, std::size_t height,
                    std::initializer_list<double> values) {
    auto texture = Device::systemDefault()->makeTexture(
        TextureDescriptor::texture2D(format, width, height, false));
    if (!texture) {
        throw std::runtime_error("no texture");
    }
    const std::size_t perRow = width * channelCount(format);
    if (values.size() > perRow * height) {
        throw std::runtime_error("more values than channels");
    }
    std::size_t i = 0;
    for (const double v : values) {
        setChannel(*texture, i / perRow, i % perRow, v);
        ++i;
    }
    return *texture;
}

std::vector<double> contents(const Texture& texture) {
    std::vector<double> all;
    const std::size_t perRow = texture.width() * channelCount(texture.pixelFormat());
    for (std::size_t y = 0; y < texture.height(); ++y) {
        for (std::size_t i = 0; i < perRow; ++i) {
            all.push_back(channel(texture, y, i));
        }
    }
    return all;
}

Buffer uintBuffer(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint32_t> copy(values);
    return *Buffer::withBytes(copy.data(), copy.size() * sizeof(std::uint32_t));
}

Buffer floatBuffer(float value) {
    return *Buffer::withBytes(&value, sizeof value);
}

bool runKernel(const std::string& name, std::initializer_list<Texture> textures,
               std::initializer_list<std::pair<std::size_t, Buffer>> buffers, std::string* why) {
    registerMergeKernels();
    auto device = Device::systemDefault();
    auto function = device->makeDefaultLibrary()->makeFunction(name);
    if (!function) {
        throw std::runtime_error("no kernel " + name);
    }
    std::string error;
    auto pipeline = device->makeComputePipelineState(*function, error);
    auto queue = device->makeCommandQueue();
    auto commandBuffer = queue->makeCommandBuffer();
    auto* encoder = commandBuffer->makeComputeCommandEncoder();
    encoder->setLabel(name);
    encoder->setComputePipelineState(pipeline);
    std::size_t index = 0;
    for (const Texture& t : textures) {
        encoder->setTexture(t, index++);
    }
    for (const auto& [at, buffer] : buffers) {
        encoder->setBuffer(buffer, 0, at);
    }
    const Texture& first = *textures.begin();
    encoder->dispatchThreadgroups({(first.width() + 31) / 32, (first.height() + 31) / 32, 1},
                                  {32, 32, 1});
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    if (why) {
        *why = commandBuffer->error();
    }
    return commandBuffer->status() == CommandBufferStatus::completed;
}

} // namespace qv::kernels::testing
