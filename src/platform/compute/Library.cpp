#include "platform/compute/Library.hpp"

#include "platform/compute/Faults.hpp"

#include <map>
#include <mutex>

namespace qv::platform::compute {

namespace {
// Registration happens once at start-up, lookups on any merger's queue.
std::mutex registryMutex;
std::map<std::string, Kernel, std::less<>>& registry() {
    static std::map<std::string, Kernel, std::less<>> kernels;
    return kernels;
}
} // namespace

void registerKernel(const std::string& name, Kernel kernel) {
    std::lock_guard lock(registryMutex);
    registry()[name] = kernel;
}

std::optional<Function> Library::makeFunction(const std::string& name) const {
    if (faults::kernelMissing(name)) {
        return std::nullopt;
    }
    std::lock_guard lock(registryMutex);
    const auto found = registry().find(name);
    if (found == registry().end() || !found->second.run || !found->second.check) {
        return std::nullopt;
    }
    return Function{name, found->second};
}

} // namespace qv::platform::compute
