#pragma once

#include "platform/compute/ComputePipelineState.hpp"
#include "platform/compute/Kernel.hpp"
#include "platform/compute/Library.hpp"
#include "platform/compute/Texture.hpp"
#include "platform/compute/WorkerPool.hpp"

#include <memory>
#include <optional>
#include <string>

namespace qv::platform::compute {

class CommandQueue;

// The compute device: the machine's cores behind the same shape of API a GPU
// offers. There is one system default device per process; it owns the
// persistent worker pool every pass runs on.
class Device : public std::enable_shared_from_this<Device> {
public:
    // The system default device; null when there is none (fault switch
    // noDevice).
    static std::shared_ptr<Device> systemDefault();

    // A device of its own with `workers` pool threads besides the caller
    // (tests and benchmarks); make it with std::make_shared.
    explicit Device(std::size_t workers);

    // The app's kernel library; null when the device has none.
    std::shared_ptr<const Library> makeDefaultLibrary() const;

    // A pipeline for the function, or null with `error` saying why.
    std::shared_ptr<const ComputePipelineState> makeComputePipelineState(const Function& function,
                                                                         std::string& error) const;

    // A texture of the descriptor's format and size in new memory, zero in
    // every texel, rows padded to 64 bytes. Nothing for a size of zero, a
    // mipmapped or unusable descriptor, or when memory runs out.
    std::optional<Texture> makeTexture(const TextureDescriptor& descriptor) const;

    // A parameter buffer holding a copy of the bytes (at most Buffer::maxLength).
    std::optional<Buffer> makeBuffer(const void* bytes, std::size_t length) const;

    // A queue for command buffers; null when none can be made.
    std::shared_ptr<CommandQueue> makeCommandQueue();

    WorkerPool& workerPool() { return pool_; }

private:
    WorkerPool pool_;
};

} // namespace qv::platform::compute
