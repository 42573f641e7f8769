#include "platform/dispatch/PoolTasks.hpp"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace qv::platform {

namespace {

// The owner whose task the calling thread is running, if any.
thread_local const void* runningTasksOf = nullptr;

} // namespace

struct PoolTasks::State {
    std::mutex mutex; // guards the fields below, between the workers and the owner's end
    std::condition_variable idle;
    int running = 0;
    bool ended = false;
};

PoolTasks::PoolTasks() : state_(std::make_shared<State>()) {}

PoolTasks::~PoolTasks() {
    if (runningTasksOf == state_.get()) {
        std::fprintf(stderr, "PoolTasks: an owner is ending from one of its own pool tasks, which "
                             "would wait for that task to end: end it from elsewhere\n");
        std::abort();
    }
    std::unique_lock lock(state_->mutex);
    state_->ended = true;
    // Under a VirtualDispatch no task runs beside the caller, so this never waits there.
    state_->idle.wait(lock, [&] { return state_->running == 0; });
}

void PoolTasks::async(std::function<void()> task, QoS qos) {
    WorkerPool::async(
        [state = state_, task = std::move(task)] {
            {
                std::lock_guard lock(state->mutex);
                if (state->ended) {
                    return;
                }
                ++state->running;
            }
            const void* outer = std::exchange(runningTasksOf, state.get());
            task();
            runningTasksOf = outer;
            std::lock_guard lock(state->mutex);
            if (--state->running == 0) {
                state->idle.notify_all();
            }
        },
        qos);
}

} // namespace qv::platform
