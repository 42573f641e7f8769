#pragma once

namespace qv {

class CameraManager;

// The settings screen's minus and plus of "Total Time" and "Save interims every", and its
// "Save GPS data" switch. A step past either end of its table does nothing and announces
// nothing; a step that moves announces the controller's change first. The indices read
// clamped into their tables, so a stored value out of range steps from the entry it names.
//
// The location switch: on with access switches it off; off with access switches it on;
// without access it asks for access and leaves the setting alone (a grant that follows
// switches it on). Either way the controller announces a change one main-queue turn later.
//
// Threads: main queue.
class SequenceSteppers {
public:
    explicit SequenceSteppers(CameraManager& owner) : camera(owner) {}
    SequenceSteppers(const SequenceSteppers&) = delete;
    SequenceSteppers& operator=(const SequenceSteppers&) = delete;

    void decreaseDuration();
    void increaseDuration();
    void decreaseInterimInterval();
    void increaseInterimInterval();
    void toggleSaveLocationData();

private:
    CameraManager& camera;
};

} // namespace qv
