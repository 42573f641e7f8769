#pragma once

#include "platform/compute/WorkerPool.hpp"

namespace qv::platform {

// The threads scenes render on: one per core the process may run on (its CPU affinity), the
// caller included. Made on first use, kept for the life of the process.
compute::WorkerPool& renderPool();

} // namespace qv::platform
