#include "engine/GpuMergeFrame.hpp"

#include "engine/kernels/MergeKernels.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <array>

namespace qv {

using namespace platform::compute;
using platform::PixelBuffer;
using platform::print;

std::unique_ptr<GpuMergeFrame> GpuMergeFrame::make(const std::shared_ptr<PixelBuffer>& buffer,
                                                   const Setup& setup) {
    kernels::registerMergeKernels();
    std::unique_ptr<GpuMergeFrame> frame(new GpuMergeFrame());
    frame->device_ = Device::systemDefault();
    if (!buffer || !frame->device_) {
        return nullptr;
    }
    const auto library = frame->device_->makeDefaultLibrary();
    if (!library) {
        return nullptr;
    }
    std::vector<Function> functions;
    for (const std::string& name : setup.kernels) {
        auto function = library->makeFunction(name);
        if (!function) {
            return nullptr;
        }
        functions.push_back(std::move(*function));
    }
    if (setup.printBufferAfterLookups) {
        print(buffer->description());
    }
    for (const std::string& name : setup.pipelines) {
        const auto function = std::find_if(functions.begin(), functions.end(),
                                           [&](const Function& f) { return f.name == name; });
        std::string error;
        auto pipeline = function == functions.end()
                            ? nullptr
                            : frame->device_->makeComputePipelineState(*function, error);
        if (!pipeline) {
            print("Compute pipeLine state creation failure");
            return nullptr;
        }
        frame->pipelines_.push_back(std::move(pipeline));
    }
    frame->formats_ = setup.formats;
    frame->textureDescriptor_ =
        TextureDescriptor::texture2D(setup.formats.work, buffer->width(), buffer->height(), false);
    frame->textureDescriptor_.usage = textureUsageShaderRead | textureUsageShaderWrite;
    for (std::size_t i = 0; i < setup.workTextures; ++i) {
        auto texture = frame->device_->makeTexture(frame->textureDescriptor_);
        if (!texture) {
            return nullptr;
        }
        frame->workTextures_.push_back(std::move(*texture));
    }
    for (std::size_t i = 0; i < setup.textureCaches; ++i) {
        frame->caches_.push_back(TextureCache::make(*frame->device_));
    }
    frame->width_ = buffer->width();
    frame->height_ = buffer->height();
    frame->pixelFormat_ = buffer->pixelFormat();
    return frame;
}

std::optional<GpuMergeFrame::BusyClaim> GpuMergeFrame::claim() {
    bool idle = false;
    if (!busy_.compare_exchange_strong(idle, true)) {
        return std::nullopt;
    }
    return BusyClaim(busy_);
}

std::optional<GpuMergeFrame::Admission>
GpuMergeFrame::admit(const std::shared_ptr<PixelBuffer>& buffer) {
    if (buffer && buffer->width() == width_ && buffer->height() == height_) {
        if (auto busy = claim()) {
            if (auto texture = makeTexture(buffer)) {
                return Admission{std::move(*busy), std::move(*texture)};
            }
        }
    }
    print("Metal Problem");
    return std::nullopt;
}

std::optional<GpuMergeFrame::Admission>
GpuMergeFrame::admitResult(const std::shared_ptr<PixelBuffer>& buffer) {
    auto busy = claim();
    if (!busy || !buffer) {
        return std::nullopt;
    }
    auto texture = makeTexture(buffer);
    if (!texture) {
        return std::nullopt;
    }
    return Admission{std::move(*busy), std::move(*texture)};
}

std::optional<Texture> GpuMergeFrame::makeTexture(const std::shared_ptr<PixelBuffer>& buffer) {
    if (caches_.empty() || !caches_[0]) {
        print("make buffer failed, texture cache is not exist");
        return std::nullopt;
    }
    auto texture =
        caches_[0]->makeTexture(buffer, formats_.photo, buffer->width(), buffer->height(), 0);
    if (!texture) {
        print("FrameMixer make buffer failed to create preview texture");
        caches_[0]->flush();
    }
    return texture;
}

Size GpuMergeFrame::threadsPerThreadgroup(const ComputePipelineState& pipeline) {
    const std::size_t w = pipeline.threadExecutionWidth();
    return Size{w, pipeline.maxTotalThreadsPerThreadgroup() / w, 1};
}

Size GpuMergeFrame::threadgroups(const ComputePipelineState& pipeline, std::size_t width,
                                 std::size_t height) {
    const Size threads = threadsPerThreadgroup(pipeline);
    return Size{(width + threads.width - 1) / threads.width,
                (height + threads.height - 1) / threads.height, 1};
}

bool GpuMergeFrame::runPass(const char* label, std::size_t pipeline,
                            std::initializer_list<Texture> textures,
                            std::initializer_list<std::span<const std::byte>> parameters) {
    const auto failed = [this] {
        print("Failed to create Metal command encoder");
        if (!caches_.empty() && caches_[0]) {
            caches_[0]->flush();
        }
        return false;
    };
    if (!commandQueue_) {
        commandQueue_ = device_->makeCommandQueue();
    }
    if (!commandQueue_ || pipeline >= pipelines_.size() || textures.size() == 0) {
        return failed();
    }
    auto commandBuffer = commandQueue_->makeCommandBuffer();
    ComputeCommandEncoder* encoder =
        commandBuffer ? commandBuffer->makeComputeCommandEncoder() : nullptr;
    if (!encoder) {
        return failed();
    }
    std::array<Buffer, maxBufferBindings> buffers;
    std::size_t bufferCount = 0;
    for (const auto parameter : parameters) {
        auto buffer = device_->makeBuffer(parameter.data(), parameter.size());
        if (!buffer || bufferCount == buffers.size()) {
            return failed();
        }
        buffers[bufferCount++] = *buffer;
    }
    const auto& state = *pipelines_[pipeline];
    encoder->setLabel(label);
    encoder->setComputePipelineState(pipelines_[pipeline]);
    std::size_t index = 0;
    for (const Texture& texture : textures) {
        encoder->setTexture(texture, index++);
    }
    for (std::size_t i = 0; i < bufferCount; ++i) {
        encoder->setBuffer(buffers[i], 0, i);
    }
    const Texture& first = *textures.begin();
    encoder->dispatchThreadgroups(threadgroups(state, first.width(), first.height()),
                                  threadsPerThreadgroup(state));
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    if (commandBuffer->status() != CommandBufferStatus::completed) {
        print("Compute pass", label, "failed:", commandBuffer->error());
        return failed();
    }
    return true;
}

} // namespace qv
