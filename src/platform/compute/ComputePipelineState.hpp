#pragma once

#include "platform/compute/Library.hpp"

#include <cstddef>
#include <string>

namespace qv::platform::compute {

// A kernel ready to be dispatched. Threads run in groups of
// threadExecutionWidth; a threadgroup holds at most
// maxTotalThreadsPerThreadgroup threads.
class ComputePipelineState {
public:
    explicit ComputePipelineState(Function function) : function_(std::move(function)) {}

    std::size_t threadExecutionWidth() const { return 32; }
    std::size_t maxTotalThreadsPerThreadgroup() const { return 1024; }
    const std::string& name() const { return function_.name; }
    const Kernel& kernel() const { return function_.kernel; }

private:
    Function function_;
};

} // namespace qv::platform::compute
