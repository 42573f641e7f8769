#pragma once

#include <set>
#include <string>

namespace qv::platform::compute {

// Fault switches of the compute layer, for tests of the code above it. Each
// switch makes one kind of object fail to be made, the way a real GPU stack
// can fail. A process has one set; install it with ScopedFaults.
struct Faults {
    bool noDevice = false;                  // the system default device is absent
    bool noDefaultLibrary = false;          // the device has no default library
    std::set<std::string> missingKernels;   // names the library does not hold
    std::set<std::string> failingPipelines; // kernels whose pipeline creation fails
    bool textureFailure = false;            // the device makes no textures
    bool textureCacheFailure = false;       // no texture cache can be made
    bool cacheTextureFailure = false;       // a texture cache wraps no pixel buffer
    bool commandQueueFailure = false;       // the device makes no command queue
    // Command buffers that are still made before every further one fails;
    // negative: never fail.
    int commandBuffersBeforeFailure = -1;
    bool encoderFailure = false; // command buffers make no encoder
    bool bufferFailure = false;  // the device makes no parameter buffers
};

// Installs a set of faults for its lifetime and restores the previous set.
// Tests install faults on the thread that drives the code under test.
class ScopedFaults {
public:
    explicit ScopedFaults(Faults faults);
    ~ScopedFaults();
    ScopedFaults(const ScopedFaults&) = delete;
    ScopedFaults& operator=(const ScopedFaults&) = delete;

private:
    Faults previous_;
};

namespace faults {
// Reads of the current switches (the layer's own use; none allocates).
bool on(bool Faults::*flag);
bool kernelMissing(const std::string& name);
bool pipelineFails(const std::string& name);
// Counts one command buffer against commandBuffersBeforeFailure; false when
// this one must fail.
bool takeCommandBuffer();
} // namespace faults

} // namespace qv::platform::compute
