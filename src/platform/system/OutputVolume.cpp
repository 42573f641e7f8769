#include "platform/system/OutputVolume.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::platform {

OutputVolume& OutputVolume::shared() {
    static OutputVolume volume;
    return volume;
}

OutputVolume::OutputVolume(float initialLevel) : current(std::clamp(initialLevel, 0.0f, 1.0f)) {}

float OutputVolume::level() const {
    std::lock_guard guard(mutex);
    return current;
}

void OutputVolume::setLevel(float newLevel) {
    if (std::isnan(newLevel)) {
        return;
    }
    float old = 0;
    std::vector<Observer> toNotify;
    {
        std::lock_guard guard(mutex);
        old = current;
        current = std::clamp(newLevel, 0.0f, 1.0f);
        newLevel = current;
        for (const auto& entry : observers) {
            toNotify.push_back(entry.second);
        }
    }
    for (const Observer& observer : toNotify) {
        observer(old, newLevel);
    }
}

OutputVolume::ObserverID OutputVolume::addObserver(Observer observer) {
    std::lock_guard guard(mutex);
    const ObserverID id = nextID++;
    observers.emplace(id, std::move(observer));
    return id;
}

void OutputVolume::removeObserver(ObserverID id) {
    std::lock_guard guard(mutex);
    observers.erase(id);
}

} // namespace qv::platform
