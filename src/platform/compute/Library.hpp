#pragma once

#include "platform/compute/Kernel.hpp"

#include <memory>
#include <optional>
#include <string>

namespace qv::platform::compute {

// Adds a kernel to the app's kernel library under `name` (the kernel library
// of engine/kernels registers all of its kernels at start-up); a later
// registration of the same name replaces the earlier one.
void registerKernel(const std::string& name, Kernel kernel);

// One kernel of a library, ready to become a pipeline.
struct Function {
    std::string name;
    Kernel kernel;
};

// The kernels registered so far, looked up by name.
class Library {
public:
    // Nothing when no kernel has that name.
    std::optional<Function> makeFunction(const std::string& name) const;
};

} // namespace qv::platform::compute
