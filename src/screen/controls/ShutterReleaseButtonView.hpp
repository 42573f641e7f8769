#pragma once

#include "model/Enumerations.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

#include <cstdint>
#include <functional>

namespace qv {

// The round shutter release: a ring over 80 % of the shorter side and a disc of 85 % of
// the ring inside it, light gray while a release or an abort is possible (ready,
// countdown, shooting) and dark gray otherwise. In black on the disc: the "timer" symbol in
// ready with a release delay, the seconds left of a countdown; while shooting the disc
// gives way to a stop square. It takes 20 to 100 points each way (70 ideally); a tap runs
// `onTap` in every state (the controller decides what a press does).
//
// The countdown digits are copied from `remainingCountdownSeconds` every 0.2 s while the
// button is shown, so they lag the controller by at most that.
struct ShutterReleaseButtonView {
    CameraState cameraState = CameraState::starting;
    Delay shutterReleaseDelay = Delay::off;
    std::function<std::int64_t()> remainingCountdownSeconds; // read at each tick
    std::function<void()> onTap;                             // the "shutter" action

    platform::ui::State<std::int64_t> timeUntilShutterRelease{0};

    platform::ui::View body() const; // tagged "shutter"; the ring "shutter ring", the
                                     // disc "shutter disc", the stop square "shutter stop"

    // The ring's radius for a button of w x h points, and the disc's.
    static double ringRadius(double width, double height);
    static double discRadius(double width, double height);
};

} // namespace qv
