#include "MainQueueDrain.hpp"

#include "platform/dispatch/MainLoop.hpp"

#include <condition_variable>
#include <mutex>

namespace qv::testing {

void drainMainQueueUntil(const std::function<bool()>& done) {
    std::mutex mutex; // guards posted between the posting threads and this one
    std::condition_variable woken;
    bool posted = true; // work may have been queued before the wakeup was set
    platform::MainLoop::setWakeup([&] {
        std::lock_guard lock(mutex);
        posted = true;
        woken.notify_all();
    });
    while (!done()) {
        {
            std::unique_lock lock(mutex);
            woken.wait(lock, [&] { return posted; });
            posted = false;
        }
        platform::MainLoop::runDueWork();
    }
    platform::MainLoop::setWakeup({});
}

} // namespace qv::testing
