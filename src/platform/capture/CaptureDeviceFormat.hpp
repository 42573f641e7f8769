#pragma once

#include "platform/media/MediaTime.hpp"

#include <string>
#include <vector>

namespace qv::platform {

// A size in pixels.
struct PixelDimensions {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelDimensions&, const PixelDimensions&) = default;
};

// One capture format of a camera: its picture sizes (all landscape, as the sensor lies),
// what it can do for photos and the exposure range it allows.
struct CaptureDeviceFormat {
    std::string formatDescription; // for logs, e.g. "<4032x3024 RAW 14-bit, fov 70.0>"
    bool isHighPhotoQualitySupported = false;
    bool isHighestPhotoQualitySupported = false;
    MediaTime minExposureDuration;
    MediaTime maxExposureDuration;
    float minISO = 0;
    float maxISO = 0;
    float videoFieldOfView = 0;                    // horizontal, degrees
    PixelDimensions photoDimensions{4032, 3024};   // photos
    PixelDimensions previewDimensions{1440, 1080}; // live frames sized for a preview
    PixelDimensions videoDimensions{1920, 1440};   // live frames at video size
    // Zoom factors at which the sensor gives full resolution without upscaling.
    std::vector<float> secondaryNativeResolutionZoomFactors;

    friend bool operator==(const CaptureDeviceFormat&, const CaptureDeviceFormat&) = default;
};

} // namespace qv::platform
