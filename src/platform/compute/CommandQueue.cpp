#include "platform/compute/CommandQueue.hpp"

#include "platform/compute/Device.hpp"
#include "platform/compute/Faults.hpp"

#include <algorithm>
#include <mutex>
#include <utility>

namespace qv::platform::compute {

namespace {

std::mutex observerMutex; // tests install the observer while passes may run
PassObserver& observer() {
    static PassObserver installed;
    return installed;
}

// Tiles of about this many bytes (all textures of the pass together) keep a
// tile's rows in the caches and give every core many tiles to take.
constexpr std::size_t bytesPerTile = 256 * 1024;

void copyLabel(std::string_view text, std::array<char, 48>& label, std::size_t& length) {
    length = std::min(text.size(), label.size());
    std::copy_n(text.data(), length, label.data());
}

struct TileJob {
    const PassArguments* arguments;
    void (*kernel)(const PassArguments&, const Tile&);
    std::size_t width;
    std::size_t height;
    std::size_t rowsPerTile;
};

void runTile(void* context, std::size_t index) {
    const auto& job = *static_cast<const TileJob*>(context);
    Tile tile;
    tile.x0 = 0;
    tile.x1 = job.width;
    tile.y0 = index * job.rowsPerTile;
    tile.y1 = std::min(job.height, tile.y0 + job.rowsPerTile);
    job.kernel(*job.arguments, tile);
}

} // namespace

PassObserver setPassObserver(PassObserver newObserver) {
    std::lock_guard lock(observerMutex);
    return std::exchange(observer(), std::move(newObserver));
}

void ComputeCommandEncoder::setLabel(std::string_view label) {
    copyLabel(label, label_, labelLength_);
}

void ComputeCommandEncoder::setComputePipelineState(
    std::shared_ptr<const ComputePipelineState> pipeline) {
    pipeline_ = std::move(pipeline);
}

void ComputeCommandEncoder::setTexture(const Texture& texture, std::size_t index) {
    arguments_.setTexture(texture, index);
}

void ComputeCommandEncoder::setBuffer(const Buffer& buffer, std::size_t offset, std::size_t index) {
    arguments_.setBuffer(buffer, offset, index);
}

void ComputeCommandEncoder::dispatchThreadgroups(Size threadgroups, Size threadsPerThreadgroup) {
    owner_.record(*this, threadgroups, threadsPerThreadgroup);
}

void ComputeCommandEncoder::endEncoding() {
    owner_.encoderEnded();
}

ComputeCommandEncoder* CommandBuffer::makeComputeCommandEncoder() {
    if (faults::on(&Faults::encoderFailure) || encoderOpen_ ||
        status_ != CommandBufferStatus::notCommitted) {
        return nullptr;
    }
    encoder_.reset();
    encoder_.emplace(ComputeCommandEncoder(*this));
    encoderOpen_ = true;
    return &*encoder_;
}

void CommandBuffer::record(const ComputeCommandEncoder& encoder, Size threadgroups, Size threads) {
    if (passCount_ == maxPasses) {
        overflowed_ = true;
        return;
    }
    Pass& pass = passes_[passCount_++];
    pass.label = encoder.label_;
    pass.labelLength = encoder.labelLength_;
    pass.pipeline = encoder.pipeline_;
    pass.arguments = encoder.arguments_;
    pass.threadgroups = threadgroups;
    pass.threadsPerThreadgroup = threads;
}

void CommandBuffer::fail(std::string why) {
    status_ = CommandBufferStatus::error;
    error_ = std::move(why);
}

bool CommandBuffer::validate(const Pass& pass, std::string& why) const {
    const std::string_view label(pass.label.data(), pass.labelLength);
    if (!pass.pipeline) {
        why = "pass '" + std::string(label) + "' has no pipeline";
        return false;
    }
    const Size& threads = pass.threadsPerThreadgroup;
    const std::size_t perGroup = threads.width * threads.height * threads.depth;
    if (perGroup == 0 || perGroup > pass.pipeline->maxTotalThreadsPerThreadgroup()) {
        why = "pass '" + std::string(label) + "' has " + std::to_string(perGroup) +
              " threads per threadgroup";
        return false;
    }
    const Texture* first = nullptr;
    for (std::size_t i = 0; i < maxTextureBindings; ++i) {
        if (!pass.arguments.hasTexture(i)) {
            continue;
        }
        const Texture& texture = pass.arguments.texture(i);
        if (!first) {
            first = &texture;
        } else if (texture.width() != first->width() || texture.height() != first->height()) {
            why = "textures of pass '" + std::string(label) + "' differ in size";
            return false;
        }
    }
    if (!first) {
        why = "pass '" + std::string(label) + "' has no texture";
        return false;
    }
    std::string kernelWhy;
    if (!pass.pipeline->kernel().check(pass.arguments, kernelWhy)) {
        why = "kernel " + pass.pipeline->name() + " refuses pass '" + std::string(label) +
              "': " + kernelWhy;
        return false;
    }
    return true;
}

void CommandBuffer::run(const Pass& pass) {
    // The grid of threads, cut to the textures: threads outside them do nothing.
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t rowBytes = 0;
    for (std::size_t i = 0; i < maxTextureBindings; ++i) {
        if (pass.arguments.hasTexture(i)) {
            const Texture& texture = pass.arguments.texture(i);
            width = texture.width();
            height = texture.height();
            rowBytes += texture.width() * bytesPerTexel(texture.pixelFormat());
        }
    }
    const Size& groups = pass.threadgroups;
    const Size& threads = pass.threadsPerThreadgroup;
    const std::size_t gridWidth = std::min(width, groups.width * threads.width);
    const std::size_t gridHeight = std::min(height, groups.height * threads.height);
    if (gridWidth > 0 && gridHeight > 0 && groups.depth * threads.depth > 0) {
        TileJob job{&pass.arguments, pass.pipeline->kernel().run, gridWidth, gridHeight,
                    std::max<std::size_t>(1, bytesPerTile / std::max<std::size_t>(1, rowBytes))};
        const std::size_t tiles = (gridHeight + job.rowsPerTile - 1) / job.rowsPerTile;
        device_->workerPool().run(tiles, runTile, &job);
    }
    std::lock_guard lock(observerMutex);
    if (observer()) {
        observer()(PassRecord{std::string_view(pass.label.data(), pass.labelLength),
                              pass.pipeline->name(), groups, threads, width, height});
    }
}

void CommandBuffer::commit() {
    if (status_ != CommandBufferStatus::notCommitted) {
        return;
    }
    if (encoderOpen_) {
        fail("committed while an encoder was still open");
        return;
    }
    if (overflowed_) {
        fail("more than " + std::to_string(maxPasses) + " passes in one command buffer");
        return;
    }
    std::string why;
    for (std::size_t i = 0; i < passCount_; ++i) {
        if (!validate(passes_[i], why)) {
            fail(std::move(why));
            return;
        }
    }
    for (std::size_t i = 0; i < passCount_; ++i) {
        run(passes_[i]);
    }
    status_ = CommandBufferStatus::completed;
    // Let go of the textures now, so their buffers are free when commit returns.
    for (std::size_t i = 0; i < passCount_; ++i) {
        passes_[i] = Pass{};
    }
    encoder_.reset();
}

std::optional<CommandBuffer> CommandQueue::makeCommandBuffer() {
    if (!faults::takeCommandBuffer()) {
        return std::nullopt;
    }
    return std::optional<CommandBuffer>(std::in_place, device_);
}

} // namespace qv::platform::compute
