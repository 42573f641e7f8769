#pragma once

#include "platform/compute/ComputePipelineState.hpp"
#include "platform/compute/Kernel.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform::compute {

class Device;

// A count of threads or threadgroups in three dimensions.
struct Size {
    std::size_t width = 1;
    std::size_t height = 1;
    std::size_t depth = 1;
    bool operator==(const Size&) const = default;
};

// What one finished pass looked like (for tests and diagnostics).
struct PassRecord {
    std::string_view label;
    std::string_view kernel;
    Size threadgroups;
    Size threadsPerThreadgroup;
    std::size_t width = 0; // size of the pass's textures
    std::size_t height = 0;
};

// Installs a function told about every pass that ran, on the thread that
// committed it; an empty function removes it. Returns the previous one.
using PassObserver = std::function<void(const PassRecord&)>;
PassObserver setPassObserver(PassObserver observer);

class CommandBuffer;

// Records one pass: a pipeline, its textures and buffers by index, and a
// threadgroup dispatch. Bindings stay set for later dispatches of the same
// encoder. Owned by its command buffer.
class ComputeCommandEncoder {
public:
    void setLabel(std::string_view label);
    std::string_view label() const { return {label_.data(), labelLength_}; }
    void setComputePipelineState(std::shared_ptr<const ComputePipelineState> pipeline);
    void setTexture(const Texture& texture, std::size_t index);
    void setBuffer(const Buffer& buffer, std::size_t offset, std::size_t index);
    void dispatchThreadgroups(Size threadgroups, Size threadsPerThreadgroup);
    void endEncoding();

private:
    friend class CommandBuffer;
    explicit ComputeCommandEncoder(CommandBuffer& owner) : owner_(owner) {}

    CommandBuffer& owner_;
    std::array<char, 48> label_{};
    std::size_t labelLength_ = 0;
    std::shared_ptr<const ComputePipelineState> pipeline_;
    PassArguments arguments_;
};

enum class CommandBufferStatus { notCommitted, completed, error };

// The passes of one submission. commit() checks every recorded pass (a
// pipeline is set, the textures of a pass all have the same size, the threads
// of a group are between 1 and the pipeline's maximum, the kernel accepts its
// bindings) and then runs them in order on the device's worker pool; when
// one is refused nothing runs and the status is error. The caller takes part
// in the work, so the passes are complete when commit() returns;
// waitUntilCompleted() is kept for the usual commit-then-wait shape.
// Neither copied nor moved: its encoder points into it.
class CommandBuffer {
public:
    static constexpr std::size_t maxPasses = 4;

    explicit CommandBuffer(std::shared_ptr<Device> device) : device_(std::move(device)) {}
    CommandBuffer(const CommandBuffer&) = delete;
    CommandBuffer& operator=(const CommandBuffer&) = delete;

    // The encoder for the next passes; null after commit, while another
    // encoder is open, or when the fault switch encoderFailure is on.
    ComputeCommandEncoder* makeComputeCommandEncoder();

    void commit();
    void waitUntilCompleted() {}

    CommandBufferStatus status() const { return status_; }
    // Why the buffer ended in error; empty otherwise.
    const std::string& error() const { return error_; }

private:
    friend class ComputeCommandEncoder;

    struct Pass {
        std::array<char, 48> label{};
        std::size_t labelLength = 0;
        std::shared_ptr<const ComputePipelineState> pipeline;
        PassArguments arguments;
        Size threadgroups;
        Size threadsPerThreadgroup;
    };

    void record(const ComputeCommandEncoder& encoder, Size threadgroups, Size threads);
    void encoderEnded() { encoderOpen_ = false; }
    bool validate(const Pass& pass, std::string& why) const;
    void run(const Pass& pass);
    void fail(std::string why);

    std::shared_ptr<Device> device_;
    std::optional<ComputeCommandEncoder> encoder_;
    bool encoderOpen_ = false;
    std::array<Pass, maxPasses> passes_;
    std::size_t passCount_ = 0;
    bool overflowed_ = false;
    CommandBufferStatus status_ = CommandBufferStatus::notCommitted;
    std::string error_;
};

// Makes command buffers on one device.
class CommandQueue {
public:
    explicit CommandQueue(std::shared_ptr<Device> device) : device_(std::move(device)) {}

    // A new command buffer; nothing when the fault switch
    // commandBuffersBeforeFailure says so.
    std::optional<CommandBuffer> makeCommandBuffer();

private:
    std::shared_ptr<Device> device_;
};

} // namespace qv::platform::compute
