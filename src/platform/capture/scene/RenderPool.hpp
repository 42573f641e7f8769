#pragma once

#include "platform/compute/WorkerPool.hpp"

namespace qv::platform {

// The threads scenes render on: as many as the processor budget allows (ProcessorBudget.hpp:
// the affinity mask, the control group's quota, QV_THREADS), the caller included. Made on
// first use, kept for the life of the process.
compute::WorkerPool& renderPool();

} // namespace qv::platform
