#pragma once

#include "platform/media/Metadata.hpp"

#include <optional>

namespace qv {

class CameraManager;

// The console line of a run whose pictures would carry the location but have none to carry:
// the desktop has no GPS receiver, and a position comes only from the command line.
inline constexpr const char* noPositionLine =
    "No GPS data saved: \"Save GPS data\" is on, but there is no GPS receiver and no position "
    "was given (--location or QV_LOCATION)";

// Starting one run of a series (the first one after a release, or a repetition): the plan
// the sequence and the mergers work from, then the start task that freezes the camera and
// lets the run begin at its start time.
//
// The plan:
//  - night mode: the run length from the night list (1 s to 30 times the camera's longest
//    exposure, the index kept within the list, which a camera switch may have shortened),
//    the frames needed to cover it at the longest exposure (rounded up), and that length as
//    the results' exposure time;
//  - star trails: the frames averaged per group, by the rule of 500 over the frame time
//    (the manual shutter speed, at least 0.05 s, or the automatic exposure's; without one
//    yet the group size stays as it was);
//  - the location of the photos, when saving it is on and allowed (without a position,
//    noPositionLine once in the app's run);
//  - the focus mode to bring back after the series (noted at its first run); live frames
//    stop for the run; the photos' orientation; the run's exposures (the second one only
//    for a bracket).
// The start task: the focus is locked for runs of more than one frame, the custom exposure
// is set for the first run of a series only (repetitions keep the camera's exposure), and
// then the run begins at targetSequenceStartTime. An abort meanwhile makes the task stop
// at its next step.
//
// Threads: main queue.
class SequenceStart {
public:
    explicit SequenceStart(CameraManager& owner) : camera(owner) {}
    SequenceStart(const SequenceStart&) = delete;
    SequenceStart& operator=(const SequenceStart&) = delete;

    // Does nothing once the countdown was aborted.
    void startSequence(bool repetition);

    // The {GPS} group of the run being started; nothing without location saving.
    const std::optional<platform::MetadataDictionary>& currentLocationMetadata() const {
        return currentLocationMetadata_;
    }

private:
    void planNightMode();
    void planStarTrails();
    void planLocation();
    void orientPhotos();
    void planExposures();

    CameraManager& camera;
    std::optional<platform::MetadataDictionary> currentLocationMetadata_;
    bool saidNoPosition_ = false; // noPositionLine is said at the first run without one only
};

} // namespace qv
