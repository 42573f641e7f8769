#pragma once

#include "model/Enumerations.hpp"
#include "platform/media/MediaTime.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

class CameraManager;

// The controller's exposure selection: what the selector positions stand for, the observers
// that run when the screens write the selection (automatic and manual exposure, the ISO,
// shutter and offset positions, the sequence mode), and the mode stepper. State lives in the
// controller's published properties; this room holds none of its own.
//
// The positions index lists rebuilt from currentsExposureLimits on every read: the ISO list,
// the shutter list (seconds) and the bias list (EV), each ascending. A position below 0 reads
// entry 0 and one past the end the last entry; on the main queue such a position is written
// back corrected (its observer runs), elsewhere it is only read corrected, since published
// state is written on the main queue alone.
class ExposureSelection {
public:
    explicit ExposureSelection(CameraManager& owner) : camera(owner) {}
    ExposureSelection(const ExposureSelection&) = delete;
    ExposureSelection& operator=(const ExposureSelection&) = delete;

    // The chosen values. Any thread.
    float selectedISO();
    double selectedShutterSpeed();
    // The chosen shutter speed as a media time: the first and last positions give the
    // limits' own media times, the others the list's seconds at the preferred timescale.
    platform::MediaTime selectedExposureDuration();
    float selectedExposureBias();
    // The wait between the runs of a series: the run-length table at
    // selectedIntervalDelayIndex (clamped to 0...63).
    double selectedIntervalDelay() const;
    // The number of runs chosen: repetitionsRange at selectedRepetitionsIndex (clamped).
    std::int64_t selectedRepetitions() const;
    // The run lengths night mode offers, ascending: 1 s, the standard long durations, and 30
    // times the active camera's longest exposure. Main queue.
    std::vector<double> nightModeShutterSpeeds() const;
    // The entry at selectedNightModeShutterSpeedIndex, read clamped into that list: a switch
    // to a camera with a shorter longest exposure shortens the list, and the position is
    // kept as it is, so switching back finds the same length. Main queue.
    double selectedNightModeShutterSpeed() const;

    // Observers, run on the main queue by the writes of the screens and the controller.
    void autoExposureWillChange(bool newValue);
    void manualExposureWillChange(bool newValue);
    void exposureIndexDidChange(); // ISO or shutter position
    void offsetIndexDidChange();
    void sequenceModeDidChange(SequenceMode oldMode);
    void repetitionsIndexDidChange();

    // Updates exposureSettings in place (one write) from the camera and the chosen exposure
    // (manual or not), the preview offset within +-largestOffset EV; gives the new preview
    // offset, nothing while there are no exposure settings.
    std::optional<float> refreshPreviewOffset(bool manual, float largestOffset);
    // The preview of the chosen exposure: refreshPreviewOffset with the current manual flag
    // and, in manual exposure, its preview offset published as previewOffset.
    void showChosenExposure(float largestOffset);

    // Steps the mode (1: forward through averaging, light trails, star trails, night; 2: the
    // second table) and shows the new mode's name in the banner.
    void switchSequenceMode(int direction);

private:
    // The position `index` within a list of `count` entries, written back when it lay
    // outside and the caller is on the main queue.
    template <typename Index>
    std::size_t correctedIndex(Index& index, std::size_t count);
    void returnOffsetToZero();

    CameraManager& camera;
};

} // namespace qv
