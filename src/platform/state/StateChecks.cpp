#include "platform/state/StateChecks.hpp"

#include "platform/console/Console.hpp"
#include "platform/state/Published.hpp"

#include <mutex>

namespace qv::platform {

namespace {

std::mutex& handlerMutex() {
    static std::mutex mutex; // the handler is swapped by tests while other threads may write
    return mutex;
}

std::function<void()>& handler() {
    static std::function<void()> current;
    return current;
}

} // namespace

void setOffMainWriteHandler(std::function<void()> newHandler) {
    std::lock_guard lock(handlerMutex());
    handler() = std::move(newHandler);
}

void detail::reportOffMainWrite() {
    std::function<void()> current;
    {
        std::lock_guard lock(handlerMutex());
        current = handler();
    }
    if (current) {
        current();
    } else {
        print("Published state written off the main thread");
    }
}

} // namespace qv::platform
