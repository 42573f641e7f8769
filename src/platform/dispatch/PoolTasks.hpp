#pragma once
// Worker-pool tasks that belong to an owner and use what it holds (a library it reads, files
// it lists). A task that has not begun when the owner ends does nothing, and the owner's end
// waits for the tasks that are running, so no task outlives what it uses: without this a
// task still decoding at the owner's end, or at the program's exit, would read freed memory.
//
// Declare the PoolTasks as the owner's last member, so that it ends first, while the rest
// of the owner is still there. A task must not end its own owner: it would wait for itself,
// so the end aborts with a message instead. Safe from any thread.

#include "platform/dispatch/DispatchQueue.hpp"

#include <functional>
#include <memory>

namespace qv::platform {

class PoolTasks {
public:
    PoolTasks();
    // Tasks not yet begun will do nothing; waits for those running. Aborts with a message
    // when called from one of these tasks.
    ~PoolTasks();
    PoolTasks(const PoolTasks&) = delete;
    PoolTasks& operator=(const PoolTasks&) = delete;

    // Gives `task` to the worker pool (WorkerPool::async).
    void async(std::function<void()> task, QoS qos = QoS::defaultLevel);

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
