#pragma once

#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/views/ScenePhase.hpp"
#include "platform/ui/views/ViewInput.hpp"
#include "screen/CameraScreenState.hpp"
#include "screen/ScreenLayout.hpp"

#include <functional>

namespace qv {

class CameraManager;

// Every user action of the camera screen, one member per control and gesture, so the
// views that lay the controls out only name the action they run. Each reads the
// controller and either writes one of the screen's state values or calls one of the
// controller's operations; none talks to the camera itself.
//
// Busy: a run shoots with time left (CameraManager::isShootingWithTimeLeft). The actions
// marked "not busy" do nothing meanwhile; they still act during a countdown and while a
// run finishes. "Animated" changes run inside the default animation.
//
// Threads: main queue (views, gestures, timers). The controller's operations hop to its
// queues themselves. The controller outlives the screen and so every action.
class CameraScreenActions {
public:
    // `displayScale`: the screen's pixels per point (the magnified picture's unit).
    CameraScreenActions(CameraManager& camera, CameraScreenState state, ScreenLayout layout,
                        double displayScale);

    // Control bar and shutter row
    void gridTap() const;       // not busy, animated: the grid on or off
    void gridLongPress() const; // not busy: the next grid
    void gear() const;          // not busy: the settings cover
    void focusBadge() const;    // not busy: focus at the centre, or lock the lens
    void level() const;         // not busy: the spirit level on or off (it animates itself)
    void lensBadge() const;     // not busy: the next camera
    void histogram() const;     // not busy, animated: the histogram on or off
    void magnifier() const;     // not busy, animated: the magnifier on or off
    // The lens moved by `step` (+-0.1, +-0.01), held within 0...1; also while busy.
    void focusStepper(double step) const;
    // The lens scale asks for a position (the scale decides when).
    void lensScaleDrag(float position) const;
    void shutter() const; // release, or abort what goes on (the controller decides)
    // A result exists and no run shoots, animated: the result cover on or off.
    void thumbnail() const;
    void resultClose() const; // animated

    // Badges over the preview
    void modeBadge() const;   // not busy, animated: the mode selector open or closed
    void formatBadge() const; // not busy and "lockFormat" off: the next file format

    // Readouts of the exposure panel: each opens or closes its selector (animated).
    // ISO and shutter switch manual exposure on (shutter: not in night mode); the EV
    // readout acts in frame averaging and light trails only, and first returns a manual
    // exposure to automatic at 0 EV; the total time acts outside night mode.
    void isoReadout() const;
    void shutterReadout() const;
    void evReadout() const;
    void durationReadout() const;

    // Gestures on the preview (`previewWidth` is the preview's width; its height is the
    // width times the controller's aspect ratio).
    // A drag changes the exposure bias: 80 points a stop up the screen as the user holds
    // it, in thirds, from the position the drag began at; not in manual exposure or night
    // mode, and only once both components of the drag exceed 1 point.
    void previewDrag(const platform::ui::DragValue& value) const;
    // The drag's end: ends an exposure-bias drag; a tap (both components within 1 point)
    // closes the open exposure selectors, or else focuses at the point (kept inside the
    // preview).
    void previewTap(const platform::ui::DragValue& value, double previewWidth) const;
    // Outside night mode: closes every selector (the mode selector too), or else returns to
    // the automatic exposure (star trails: the default star exposure).
    void previewDoubleTap() const;
    // Not busy: focus at the centre of the magnifier box.
    void magnifierTap(platform::ui::Size preview) const;
    // The box follows the drag within its bounds, and rests where it ends.
    void magnifierDragChanged(const platform::ui::DragValue& value) const;
    void magnifierDragEnded(const platform::ui::DragValue& value) const;

    // The app's scene phase. Background: a countdown or run ends and what was merged is
    // saved, the version is recorded, the accelerometer and the volume keys stop, the
    // preview blurs and the magnifier goes off. Active after a background: the sensors, the
    // preview layer and the volume keys come back, and the blur goes a second later.
    // Inactive (the window lost the focus): nothing.
    void scenePhaseChanged(platform::ui::ScenePhase phase) const;

    // The box's offset from the preview's centre now: its resting offset plus the drag
    // under way, within its bounds.
    platform::ui::Point magnifierOffset() const;

    // How far a drag moves the bias, in stops: the distance along "up" for how the phone is
    // held (portrait -dy, upside down +dy, landscape left +dx, landscape right -dx; any
    // other orientation as portrait) at 80 points a stop, in thirds and then in tenths of
    // a stop: 40 points give 0.7, 20 give 0.3, 13 give 0. The bias moves by this times 3,
    // rounded: 2, 1 and 0 positions.
    static float evDragStops(platform::ui::Size translation,
                             platform::DeviceOrientation orientation);

private:
    bool isBusy() const;
    // Runs `action` unless busy (animated: inside the default animation).
    void ifNotBusy(const std::function<void()>& action) const;
    void ifNotBusyAnimated(const std::function<void()>& action) const;
    void closeExposureSelectors() const;
    void toggle(const platform::ui::State<bool>& flag) const; // animated
    void resetExposureBias() const;
    void refreshImageOffset() const;

    CameraManager& camera;
    CameraScreenState state;
    ScreenLayout layout;
    double displayScale;
};

} // namespace qv
