#pragma once

#include "platform/capture/PhotoCaptureDelegate.hpp"
#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/ComputePipelineState.hpp"
#include "platform/compute/Device.hpp"
#include "platform/dispatch/Clock.hpp"

#include <memory>

namespace qv {

// A diagnostic photo receiver: for each delivered photo it prints when it came, the 11 x 11
// pixels from the centre of the picture, the buffer's format and description, runs the
// "proOneValue" kernel over the photo (which sets every channel to its top value) and prints
// the same pixels again, so a kernel's reach into a photo can be checked by eye. The
// controller keeps one but never hands it to a capture.
//
// The pixel dump reads 16-bit four-channel photos ('l64r') only, and only inside the buffer:
// rows are bytesPerRow apart and the block is cut at the picture's edges. Any other layout
// prints that the dump was skipped; the kernel then refuses the photo too.
//
// Threads: runs on the queue the photo output calls it on and waits for its pass there.
class DebugDelegate final : public platform::PhotoCaptureDelegate {
public:
    DebugDelegate();

    void didFinishProcessingPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                  const std::optional<platform::CaptureError>& error) override;

private:
    void runKernel(const std::shared_ptr<platform::PixelBuffer>& buffer);

    platform::MonotonicTime startTime_;
    std::shared_ptr<platform::compute::Device> device_;
    std::shared_ptr<const platform::compute::ComputePipelineState> proOneValuePipelineState_;
    std::shared_ptr<platform::compute::CommandQueue> commandQueue_; // made on first use
};

} // namespace qv
