#include "platform/capture/scene/RenderPool.hpp"

#include "platform/dispatch/ProcessorBudget.hpp"

namespace qv::platform {

compute::WorkerPool& renderPool() {
    static compute::WorkerPool pool(processorBudget() - 1);
    return pool;
}

} // namespace qv::platform
