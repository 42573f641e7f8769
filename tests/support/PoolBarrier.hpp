#pragma once
// Returns once every task given to the worker pool before the call has ended: it gives each
// worker a task and waits until all of them run at the same time (tasks start in order).

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"

#include <algorithm>
#include <latch>
#include <memory>

namespace qv::testing {

inline void waitForEarlierPoolTasks() {
    const auto workers =
        static_cast<std::ptrdiff_t>(std::max<std::size_t>(2, platform::processorBudget()));
    const auto allIn = std::make_shared<std::latch>(workers);
    const auto allOut = std::make_shared<std::latch>(workers);
    for (std::ptrdiff_t i = 0; i < workers; ++i) {
        platform::WorkerPool::async([allIn, allOut] {
            allIn->arrive_and_wait();
            allOut->count_down();
        });
    }
    allOut->wait();
}

} // namespace qv::testing
