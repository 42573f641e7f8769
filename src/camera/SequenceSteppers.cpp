#include "camera/SequenceSteppers.hpp"

#include "camera/CameraManager.hpp"

#include <cstdint>

namespace qv {

namespace {

// One of the sequence's stored indices and the last entry of its table.
struct SequenceIndex {
    std::int64_t (ExposureSequence::*read)() const;
    void (ExposureSequence::*write)(std::int64_t);
    std::int64_t last;
};

const SequenceIndex durationIndex{&ExposureSequence::selectedDurationIndex,
                                  &ExposureSequence::setSelectedDurationIndex,
                                  std::int64_t(ExposureSequence::durations().size()) - 1};
const SequenceIndex interimIndex{&ExposureSequence::selectedInterimIntervalIndex,
                                 &ExposureSequence::setSelectedInterimIntervalIndex,
                                 std::int64_t(ExposureSequence::interimIntervals().size()) - 1};

// One step of the index within 0...last; the controller announces a change before it.
void step(CameraManager& camera, const SequenceIndex& index, int direction) {
    ExposureSequence& sequence = *camera.exposureSequence;
    const std::int64_t now = (sequence.*index.read)();
    if ((direction < 0 && now < 1) || (direction > 0 && now >= index.last)) {
        return;
    }
    camera.sendWillChange();
    (sequence.*index.write)((sequence.*index.read)() + direction);
}

} // namespace

void SequenceSteppers::decreaseDuration() {
    step(camera, durationIndex, -1);
}

void SequenceSteppers::increaseDuration() {
    step(camera, durationIndex, +1);
}

void SequenceSteppers::decreaseInterimInterval() {
    step(camera, interimIndex, -1);
}

void SequenceSteppers::increaseInterimInterval() {
    step(camera, interimIndex, +1);
}
void SequenceSteppers::toggleSaveLocationData() {
    auto& setting = camera.settings.shouldSaveLocationData;
    if (setting.get() && camera.isGPSAuthorized.get()) {
        setting = false;
    } else if (camera.isGPSAuthorized.get()) {
        setting = true;
    } else {
        camera.access_.changeGSP = true;
        camera.requestLocationAccess();
    }
    camera.onMain([](CameraManager& self) { self.sendWillChange(); });
}

} // namespace qv
