#pragma once

#include "platform/capture/CaptureDeviceFormat.hpp"
#include "platform/capture/CaptureTypes.hpp"
#include "platform/capture/CapturedPhotoDeviceType.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

// One back camera of the simulated phone.
struct SimulatedCameraSpec {
    CaptureDeviceType type = CaptureDeviceType::builtInWideAngleCamera;
    std::string name = "Back Camera";
    PixelDimensions photoSize{4032, 3024};
    PixelDimensions previewSize{1440, 1080};
    PixelDimensions videoSize{1920, 1440};
    double fieldOfView = 70;  // degrees, across the long side
    double aperture = 1.78;   // f-number
    double focalLength = 5.1; // millimetres
    double minISO = 32;
    double maxISO = 3072;
    double minExposureDuration = 1.0 / 100000; // seconds
    double maxExposureDuration = 1;
    double minExposureBias = -8;
    double maxExposureBias = 8;
    bool autoFocus = true;          // auto and continuous autofocus besides locked focus
    bool customLensPosition = true; // focus can be locked at a chosen lens position
    double infinityLensPosition = 0.9;
    bool raw = true;
    bool proRAW = true;
    bool lowLightBoost = false;
    std::vector<double> zoomFactors; // secondary native-resolution zoom factors
    double maxWhiteBalanceGain = 4;
    std::uint32_t blackLevel = 528;
    std::uint32_t whiteLevel = 16383;
};

// The kind of a back camera as profiles and device ids name it: "wide", "tele", "ultraWide".
std::string cameraKindName(CaptureDeviceType type);
std::optional<CaptureDeviceType> cameraKindNamed(std::string_view name);

// The simulated phone: its back cameras (no front or multi-lens ones) and what its photos
// name as maker and model.
struct CameraProfile {
    std::string make = "Quarn Vesil";
    std::string model = "Simulated Phone";
    std::vector<SimulatedCameraSpec> cameras;

    // Wide 4032x3024, 70 degrees, f/1.78, ISO 32-3072, 1/100000-1 s, bias -8...8; tele 26.3
    // degrees (a 3x telephoto); ultra-wide 108.3 degrees; RAW 'qRGG' with black 528 and
    // white 16383, ProRAW 'l64r'.
    static CameraProfile builtIn();
};

} // namespace qv::platform
