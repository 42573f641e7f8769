#include "platform/dispatch/MainLoop.hpp"

#include "platform/dispatch/detail/Runtime.hpp"

namespace qv::platform::MainLoop {

std::optional<MonotonicTime> runDueWork() {
    return detail::Runtime::current().runDueMainWork();
}

void setWakeup(std::function<void()> wakeup) {
    detail::Runtime::current().setMainWakeup(std::move(wakeup));
}

} // namespace qv::platform::MainLoop
