#include "platform/system/Application.hpp"

#include "platform/console/Console.hpp"
#include "platform/system/AppInfo.hpp"

namespace qv::platform {

Application& Application::shared() {
    static Application application;
    return application;
}

void Application::setIdleTimerDisabled(bool disabled) {
    std::lock_guard lock(mutex_);
    idleTimerDisabled_ = disabled;
    if (idleTimerHook_) {
        idleTimerHook_(disabled);
    }
}

bool Application::isIdleTimerDisabled() const {
    std::lock_guard lock(mutex_);
    return idleTimerDisabled_;
}

void Application::setIdleTimerHook(std::function<void(bool)> hook) {
    std::lock_guard lock(mutex_);
    idleTimerHook_ = std::move(hook);
    if (idleTimerHook_) {
        idleTimerHook_(idleTimerDisabled_);
    }
}

PixelSize Application::nativeScreenSize() const {
    return {nativeWidth_.load(), nativeHeight_.load()};
}

void Application::setNativeScreenSize(PixelSize size) {
    nativeWidth_.store(size.width);
    nativeHeight_.store(size.height);
}

void Application::requestReview() {
    print("A review of " + appName() +
          " was requested; there is no app store to ask on this system");
}

} // namespace qv::platform
