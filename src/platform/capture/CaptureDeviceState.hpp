#pragma once

#include "platform/capture/CaptureDeviceFormat.hpp"
#include "platform/capture/CaptureTypes.hpp"
#include "platform/capture/CapturedPhotoDeviceType.hpp"
#include "platform/media/PixelFormat.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::platform {

// The format of a wide camera: 4032x3024, ISO 32 to 3072, 1/100000 s to 1 s, 70 degrees.
inline CaptureDeviceFormat wideCameraFormat() {
    CaptureDeviceFormat f;
    f.formatDescription = "<4032x3024 RAW 14-bit, fov 70.0>";
    f.isHighPhotoQualitySupported = true;
    f.isHighestPhotoQualitySupported = true;
    f.minExposureDuration = MediaTime::fromSeconds(1.0 / 100000);
    f.maxExposureDuration = MediaTime::fromSeconds(1.0);
    f.minISO = 32;
    f.maxISO = 3072;
    f.videoFieldOfView = 70;
    return f;
}

// Everything a camera reports about itself at one moment. CaptureDevice reads give these
// fields; InMemoryCaptureDevice lets a test set them all at once.
struct CaptureDeviceState {
    // Identity
    std::string uniqueID = "camera.back.wide";
    std::string localizedName = "Back Camera";
    CaptureDeviceType deviceType = CaptureDeviceType::builtInWideAngleCamera;

    // Formats
    std::vector<CaptureDeviceFormat> formats{wideCameraFormat()};
    CaptureDeviceFormat activeFormat = wideCameraFormat();

    // Exposure: what the device does now
    ExposureMode exposureMode = ExposureMode::continuousAutoExposure;
    std::vector<ExposureMode> supportedExposureModes{ExposureMode::locked, ExposureMode::autoExpose,
                                                     ExposureMode::continuousAutoExposure,
                                                     ExposureMode::custom};
    float iso = 100;
    MediaTime exposureDuration = MediaTime::fromSeconds(1.0 / 60);
    float lensAperture = 1.8f;
    float exposureTargetBias = 0; // EV
    float minExposureTargetBias = -8;
    float maxExposureTargetBias = 8;
    // How far the metered exposure is from the target, in EV (negative: too dark).
    float exposureTargetOffset = 0;
    bool isAdjustingExposure = false;

    // Focus
    FocusMode focusMode = FocusMode::continuousAutoFocus;
    std::vector<FocusMode> supportedFocusModes{FocusMode::locked, FocusMode::autoFocus,
                                               FocusMode::continuousAutoFocus};
    bool lockingFocusWithCustomLensPositionSupported = true;
    bool focusPointOfInterestSupported = true;
    CapturePoint focusPointOfInterest{0.5, 0.5};
    float lensPosition = 1; // 0 near ... 1 far
    bool isAdjustingFocus = false;

    // White balance
    WhiteBalanceMode whiteBalanceMode = WhiteBalanceMode::continuousAutoWhiteBalance;
    std::vector<WhiteBalanceMode> supportedWhiteBalanceModes{
        WhiteBalanceMode::locked, WhiteBalanceMode::autoWhiteBalance,
        WhiteBalanceMode::continuousAutoWhiteBalance};
    bool lockingWhiteBalanceWithCustomDeviceGainsSupported = true;
    WhiteBalanceGains deviceWhiteBalanceGains{2.0f, 1.0f, 1.6f};
    float maxWhiteBalanceGain = 4;
    bool isAdjustingWhiteBalance = false;

    // Low light
    bool lowLightBoostSupported = false;
    bool lowLightBoostEnabled = false;
    bool automaticallyEnablesLowLightBoostWhenAvailable = false;

    SystemPressureState systemPressureState;

    // What the camera's photos are and carry
    std::vector<FourCharCode> rawPhotoPixelFormats{pixelformat::bayer14RGGB}; // empty: no RAW
    bool proRAWSupported = false; // 64-bit linear RGB ('l64r') photos
    std::uint32_t blackLevel = 528;
    std::uint32_t whiteLevel = 16383;
    float focalLength = 5.1f; // millimetres
    std::string lensModel = "back camera 5.1mm f/1.8";
    std::string make = "Quarn Vesil";
    std::string model = "Simulated Camera";
};

} // namespace qv::platform
