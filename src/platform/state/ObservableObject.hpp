#pragma once

#include "platform/state/Signal.hpp"

namespace qv::platform {

// A controller whose views rebuild when its published state changes. Every write of one of
// its Published properties sends willChange before the new value is stored; views
// subscribe to it and read the properties after the change (on the main queue).
class ObservableObject {
public:
    ObservableObject() = default;
    ObservableObject(const ObservableObject&) = delete;
    ObservableObject& operator=(const ObservableObject&) = delete;

    // The owner's will-change signal. sendWillChange() sends it by hand (for state that is
    // not a Published property).
    [[nodiscard]] Subscription onWillChange(std::function<void()> callback) {
        return willChange_.subscribe(std::move(callback));
    }
    void sendWillChange() const { willChange_.send(); }

protected:
    ~ObservableObject() = default;

private:
    Signal<> willChange_;
};

} // namespace qv::platform
