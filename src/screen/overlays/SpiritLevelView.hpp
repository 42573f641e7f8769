#pragma once

#include "model/Angle.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/views/View.hpp"
#include "screen/Metrics.hpp"

namespace qv {

// The level over the preview, in one drawing filling its frame (w x h, circle radius
// R = w / 4 about the centre), every part white, or green while it is level:
//
// - Upright: the forward tilt `levelAngle` moves a line up and down inside the circle
//   (0.9 R at 45 degrees, held there up to 60, gone from 60 on), shortened by two thirds
//   of its offset at each end, between two stubs on a faint reference line; this group
//   turns with the phone. The sideways roll `angleXY` turns two lines outside the circle
//   with the phone's roll, and snaps them level with the screen while the roll is within
//   the tolerance of level for how the phone is held.
// - Face up or down: a bubble moved by the two tilts (R at 45 degrees, mirrored face
//   down) and a small ring at the centre.
//
// Every line is `lineWidth` wide with butt caps; every part carries a faint black shadow;
// the whole is drawn at 70 %.
//
// A tilt that is not a number (the accelerometer's atan(0 / 0)) never counts as level:
// its parts are white, its lines unturned, its bubble offset 0, and the moving line is not
// drawn. The roll is compared with level up to a half turn, since atan's angle runs only
// from -90 to 90 degrees (upside down the level roll reads 0, and on its side it jumps
// between -90 and 90 across level).
struct SpiritLevelView {
    double levelAngle = 0; // degrees, 0 upright
    Angle angleXY;         // the roll
    Angle angleXZ;         // the tilts lying flat
    Angle angleYZ;
    platform::DeviceOrientation deviceOrientation = platform::DeviceOrientation::portrait;
    double lineWidth = metrics::levelLineWidth;
    double tolerance = metrics::levelTolerance; // degrees that count as level
    double shadowRadius = metrics::levelShadowRadius;

    platform::ui::View body() const; // tagged "spirit level"; its parts "level pitch",
                                     // "level moving line", "level roll", "level bubble",
                                     // "level ring" and "level circle"

    // Whether the roll is level for how the phone is held: r + the orientation's offset
    // (180 upside down, 90 landscape left, -90 landscape right) lies within the tolerance
    // of a multiple of 180 degrees.
    bool isRollLevel() const;
};

} // namespace qv
