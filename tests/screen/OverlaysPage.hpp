#pragma once
// The page of the camera screen's overlays (docs/screen-overlays.png): each drawn over the
// same frame of the simulated camera, as the screen places it, and the result cover.

#include "model/Angle.hpp"
#include "model/Histogram.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv::testing {

// The level's inputs at one moment, as the controller published them.
struct LevelReading {
    double levelAngle = 0;
    Angle angleXY, angleXZ, angleYZ;
};

struct OverlaysPageValues {
    std::shared_ptr<platform::CaptureVideoPreviewLayer> preview; // holds the frame shown
    Histogram histogram;
    LevelReading upright; // held upright, tilted a little
    LevelReading flat;    // lying face up, tilted a little
    float lensPosition = 0.9f;
    std::shared_ptr<const platform::RgbaImage> result;
};

// Tiles tagged by what they show: "grid 3 x 3", "golden ratio", "grid 4 x 4",
// "level upright", "level flat", "histogram", "focus and message", "lens scale",
// "result cover".
platform::ui::View overlaysPage(const OverlaysPageValues& values);
inline constexpr double kOverlaysPageWidth = 846;
inline constexpr double kOverlaysPageHeight = 930;

} // namespace qv::testing
