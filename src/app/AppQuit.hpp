#pragma once
// The road out of the app when its window is closed or it gets SIGINT, SIGTERM or SIGHUP: the
// one the phone takes when an app goes to the background and is then ended. In order:
//   1. the scene goes to the background: the camera screen ends a countdown or a run and
//      saves what was merged, and records this version as launched;
//   2. the scene's content goes: the camera screen's disappear handler stops the capture
//      session and the accelerometer and allows the idle timer again;
//   3. the app waits until no run is finishing and every save asked for has ended (the
//      file written and added to the library), at most `boundSeconds` on the dispatch
//      clock; past that bound one line says what may be lost;
//   4. the settings and permissions not yet written (they are written behind each change)
//      reach their files (and once more as the process's very last step, AppLaunch.hpp, for
//      what the app's end sets after this); changes that cannot be written (a linked file's
//      folder not there, a file that cannot be read, a failed write) are named in one line
//      with the file they were to go to (files/SharedJsonFile.hpp).
// Main queue.

#include "app/Quarn_Vesil.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <functional>

namespace qv {

inline constexpr double kQuitWaitSeconds = 30;

// `waitTurn` lets the queues work for a moment (the window's loop has ended): the app's
// default runs the main queue's due work and sleeps 10 ms; tests move a virtual clock.
// Returns true when everything was saved within the bound.
bool quitApp(Quarn_Vesil& app, platform::ui::ViewGraph& scene,
             const std::function<void()>& waitTurn, double boundSeconds = kQuitWaitSeconds);

} // namespace qv
