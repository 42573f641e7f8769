#include "platform/compute/Faults.hpp"

#include <mutex>
#include <utility>

namespace qv::platform::compute {

namespace {
// Tests switch faults on one thread while passes may run on others: one lock.
std::mutex faultsMutex;
Faults installed;
} // namespace

ScopedFaults::ScopedFaults(Faults faults) {
    std::lock_guard lock(faultsMutex);
    previous_ = std::exchange(installed, std::move(faults));
}

ScopedFaults::~ScopedFaults() {
    std::lock_guard lock(faultsMutex);
    installed = std::move(previous_);
}

namespace faults {

bool on(bool Faults::*flag) {
    std::lock_guard lock(faultsMutex);
    return installed.*flag;
}

bool kernelMissing(const std::string& name) {
    std::lock_guard lock(faultsMutex);
    return installed.missingKernels.contains(name);
}

bool pipelineFails(const std::string& name) {
    std::lock_guard lock(faultsMutex);
    return installed.failingPipelines.contains(name);
}

bool takeCommandBuffer() {
    std::lock_guard lock(faultsMutex);
    if (installed.commandBuffersBeforeFailure < 0) {
        return true;
    }
    if (installed.commandBuffersBeforeFailure == 0) {
        return false;
    }
    --installed.commandBuffersBeforeFailure;
    return true;
}

} // namespace faults
} // namespace qv::platform::compute
