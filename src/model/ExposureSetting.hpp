#pragma once

#include "platform/media/MediaTime.hpp"

namespace qv::QVPhotoMath {

// One exposure as plain numbers. EV values are EV100 (the exposure value at
// ISO 100) rounded to the nearest third of a stop.
struct ExposureSetting {
    float iso = 100;
    double shutterSpeed = 0; // seconds
    double aperture = 1;     // f-number

    // The shutter speed at the preferred media timescale.
    platform::MediaTime shutterSpeedTime() const;
    // log2(N^2 / (t * S / 100)) to the nearest third (halves away from zero).
    float ev() const;
    // ev() of this setting minus ev() of the other, each rounded first:
    // positive when the other setting gives more light.
    float evDifference(const ExposureSetting& other) const;
};

// The shutter speed in seconds that gives `ev` at the ISO and f-number: N^2 / (2^EV * S / 100).
double shutterSpeedForEV(float ev, float iso, double aperture);
// The ISO that gives `ev` at the shutter speed and f-number: 100 * N^2 / (2^EV * t).
float isoForEV(float ev, double shutterSpeed, double aperture);

} // namespace qv::QVPhotoMath
