#pragma once

#include "platform/capture/FrameExposure.hpp"
#include "platform/capture/scene/SceneCamera.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <array>

namespace qv::platform {

// What the simulated cameras see. Rendering is safe from any thread, also from several at
// once (a live frame and a photo), and deterministic: the same scene, camera, exposure and
// buffer give the same bytes.
//
// Pixel values: the sensor is linear with the colour response of
// imaging::simulatedSensorColorMatrix(). A grey card lit so that its EV100 equals the
// exposure's EV100 (log2(N^2 / t) - log2(ISO / 100)) reads 18 % of the range above black in
// green; signal doubles with exposure time and with ISO.
//
// Formats of `out`: a 14-bit Bayer mosaic (the camera's raw data, black level included),
// 'l64r' (linear sRGB, white-balanced by the exposure's gains, 16 bits) or 'BGRA' (sRGB,
// white-balanced, 8 bits). Any size; the picture spans the whole buffer.
class Scene {
public:
    virtual ~Scene() = default;

    virtual void render(const SceneCamera& camera, const FrameExposure& exposure,
                        FramePurpose purpose, PixelBuffer& out) const = 0;

    // The mean of a small frame as the sensor sees it, before white balance, as fractions
    // of the range above black (red, green, blue): what automatic exposure and white
    // balance meter.
    virtual std::array<double, 3> meter(const SceneCamera& camera,
                                        const FrameExposure& exposure) const = 0;
};

} // namespace qv::platform
