#include "platform/compute/Device.hpp"

#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace qv::platform::compute {

namespace {
constexpr std::size_t rowAlignment = 64;
constexpr std::size_t maxSide = 16384 * 4;

// The caller of a pass works too, so the pool has one thread less than the budget.
std::size_t workersForThisProcess() {
    return platform::processorBudget() - 1;
}
} // namespace

std::shared_ptr<Device> Device::systemDefault() {
    if (faults::on(&Faults::noDevice)) {
        return nullptr;
    }
    // Made on first use and kept for the life of the process, like the GPU.
    static const std::shared_ptr<Device> device = std::make_shared<Device>(workersForThisProcess());
    return device;
}

Device::Device(std::size_t workers) : pool_(workers) {}

std::shared_ptr<const Library> Device::makeDefaultLibrary() const {
    if (faults::on(&Faults::noDefaultLibrary)) {
        return nullptr;
    }
    return std::make_shared<const Library>();
}

std::shared_ptr<const ComputePipelineState>
Device::makeComputePipelineState(const Function& function, std::string& error) const {
    if (faults::pipelineFails(function.name)) {
        error = "pipeline for kernel " + function.name + " could not be made";
        return nullptr;
    }
    return std::make_shared<const ComputePipelineState>(function);
}

std::optional<Texture> Device::makeTexture(const TextureDescriptor& descriptor) const {
    if (faults::on(&Faults::textureFailure) || descriptor.mipmapped || descriptor.width == 0 ||
        descriptor.height == 0 || descriptor.width > maxSide || descriptor.height > maxSide) {
        return std::nullopt;
    }
    const std::size_t rowBytes =
        (descriptor.width * bytesPerTexel(descriptor.pixelFormat) + rowAlignment - 1) /
        rowAlignment * rowAlignment;
    const std::size_t size = rowBytes * descriptor.height;
    auto* memory = static_cast<std::byte*>(std::aligned_alloc(rowAlignment, size));
    if (!memory) {
        return std::nullopt;
    }
    // Work textures must read as zero before their first pass.
    std::memset(memory, 0, size);
    std::shared_ptr<const void> owner(memory,
                                      [](const void* p) { std::free(const_cast<void*>(p)); });
    return Texture(descriptor.pixelFormat, descriptor.width, descriptor.height, rowBytes, memory,
                   std::move(owner));
}

std::optional<Buffer> Device::makeBuffer(const void* bytes, std::size_t length) const {
    if (faults::on(&Faults::bufferFailure)) {
        return std::nullopt;
    }
    return Buffer::withBytes(bytes, length);
}

std::shared_ptr<CommandQueue> Device::makeCommandQueue() {
    if (faults::on(&Faults::commandQueueFailure)) {
        return nullptr;
    }
    return std::make_shared<CommandQueue>(shared_from_this());
}

} // namespace qv::platform::compute
