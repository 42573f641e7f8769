#include "platform/capture/scene/RenderPool.hpp"

#include <sched.h>
#include <thread>

namespace qv::platform {

namespace {

std::size_t coresAllowed() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        return std::size_t(std::max(1, CPU_COUNT(&set)));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

compute::WorkerPool& renderPool() {
    static compute::WorkerPool pool(coresAllowed() - 1);
    return pool;
}

} // namespace qv::platform
