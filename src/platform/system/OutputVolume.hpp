#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace qv::platform {

// The system output volume, from 0 (silent) to 1 (loudest). On the desktop it is the
// app's own level: the volume keys move it and the app may set it back. Observers
// learn of every change, on the thread that made it. Safe to use from any thread.
class OutputVolume {
public:
    using Observer = std::function<void(float oldLevel, float newLevel)>;
    using ObserverID = std::uint64_t;

    // The one volume of the process; starts at 0.5.
    static OutputVolume& shared();

    explicit OutputVolume(float initialLevel = 0.5f);

    float level() const;
    // Limited to [0, 1]; a NaN level is ignored. Observers run after the change, also
    // when the level stays the same, outside the volume's lock (they may read it).
    void setLevel(float newLevel);

    ObserverID addObserver(Observer observer);
    void removeObserver(ObserverID id);

private:
    mutable std::mutex mutex; // guards the fields below
    float current;
    std::map<ObserverID, Observer> observers;
    ObserverID nextID = 1;
};

} // namespace qv::platform
