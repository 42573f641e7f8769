#pragma once

namespace qv {

// Moves the system output volume to `level` (0 to 1) 0.3 s from now on the main
// queue, printing "set volume" as it does. Used to put the volume back after a
// volume key released the shutter. Safe to call from any queue.
void setVolume(float level);

} // namespace qv
