#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"

#include "platform/capture/detail/WhiteBalance.hpp"
#include "platform/console/Describe.hpp"
#include "platform/sensors/SystemPressure.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform {

namespace {

constexpr double longestAutomaticExposure = 0.1; // seconds: live frames stay at 10 a second
constexpr double exposureTolerance = 1.0 / 6;    // EV within which exposure counts as settled
constexpr double exposureDeadBand = 0.03;        // EV within which it stops moving
constexpr double exposureStep = 1.0 / 3;         // share of the error closed each frame
constexpr double focusSpeed = 2.0;               // lens units a second
constexpr double pressureInterval = 5.0;         // seconds

CaptureDeviceState initialState(const SimulatedCameraSpec& spec, const CameraProfile& profile) {
    CaptureDeviceState s;
    s.uniqueID = "camera.back." + cameraKindName(spec.type);
    s.localizedName = spec.name;
    s.deviceType = spec.type;

    CaptureDeviceFormat f;
    f.formatDescription = "<" + describe(spec.photoSize.width) + "x" +
                          describe(spec.photoSize.height) + (spec.raw ? " RAW 14-bit" : "") +
                          ", fov " + describe(spec.fieldOfView) + ">";
    f.isHighPhotoQualitySupported = true;
    f.isHighestPhotoQualitySupported = true;
    // In nanoseconds, so the limits are exact: 1/100000 s is 10000 of them.
    f.minExposureDuration = MediaTime::fromSeconds(spec.minExposureDuration, 1000000000);
    f.maxExposureDuration = MediaTime::fromSeconds(spec.maxExposureDuration, 1000000000);
    f.minISO = float(spec.minISO);
    f.maxISO = float(spec.maxISO);
    f.videoFieldOfView = float(spec.fieldOfView);
    f.photoDimensions = spec.photoSize;
    f.previewDimensions = spec.previewSize;
    f.videoDimensions = spec.videoSize;
    for (double zoom : spec.zoomFactors) {
        f.secondaryNativeResolutionZoomFactors.push_back(float(zoom));
    }
    s.formats = {f};
    s.activeFormat = f;

    s.iso = float(std::clamp(100.0, spec.minISO, spec.maxISO));
    s.exposureDuration = MediaTime::fromSeconds(
        std::clamp(1.0 / 30, spec.minExposureDuration, spec.maxExposureDuration));
    s.lensAperture = float(spec.aperture);
    s.minExposureTargetBias = float(spec.minExposureBias);
    s.maxExposureTargetBias = float(spec.maxExposureBias);

    s.supportedFocusModes = {FocusMode::locked};
    if (spec.autoFocus) {
        s.supportedFocusModes.push_back(FocusMode::autoFocus);
        s.supportedFocusModes.push_back(FocusMode::continuousAutoFocus);
    } else {
        s.focusMode = FocusMode::locked;
    }
    s.lockingFocusWithCustomLensPositionSupported = spec.customLensPosition;
    s.focusPointOfInterestSupported = spec.autoFocus;
    s.lensPosition = spec.autoFocus ? 1.0f : float(spec.infinityLensPosition);

    s.maxWhiteBalanceGain = float(spec.maxWhiteBalanceGain);
    const WhiteBalanceGains daylight = detail::whiteBalanceGainsFor({6500, 0});
    const auto inRange = [&](float g) { return std::clamp(g, 1.0f, s.maxWhiteBalanceGain); };
    s.deviceWhiteBalanceGains = {inRange(daylight.redGain), inRange(daylight.greenGain),
                                 inRange(daylight.blueGain)};

    s.lowLightBoostSupported = spec.lowLightBoost;
    s.rawPhotoPixelFormats.clear();
    if (spec.raw) {
        s.rawPhotoPixelFormats.push_back(pixelformat::bayer14RGGB);
    }
    s.proRAWSupported = spec.raw && spec.proRAW;
    s.blackLevel = spec.blackLevel;
    s.whiteLevel = spec.whiteLevel;
    s.focalLength = float(spec.focalLength);
    s.lensModel = profile.model + " back " + cameraKindName(spec.type) + " camera " +
                  describe(spec.focalLength) + "mm f/" + describe(spec.aperture);
    s.make = profile.make;
    s.model = profile.model;
    return s;
}

SceneCamera sceneCameraOf(const SimulatedCameraSpec& spec) {
    SceneCamera c;
    c.fieldOfView = spec.fieldOfView;
    c.aperture = spec.aperture;
    c.infinityLensPosition = spec.infinityLensPosition;
    c.blackLevel = spec.blackLevel;
    c.whiteLevel = spec.whiteLevel;
    c.sensorSeed = 0x51CA0000u + std::uint32_t(spec.type);
    return c;
}

bool automatic(ExposureMode m) {
    return m == ExposureMode::autoExpose || m == ExposureMode::continuousAutoExposure;
}

bool automatic(FocusMode m) {
    return m == FocusMode::autoFocus || m == FocusMode::continuousAutoFocus;
}

bool automatic(WhiteBalanceMode m) {
    return m == WhiteBalanceMode::autoWhiteBalance ||
           m == WhiteBalanceMode::continuousAutoWhiteBalance;
}

// One step of automatic exposure towards `stops` more light (negative: less).
void adjustExposure(CaptureDeviceState& s, double stops) {
    const CaptureDeviceFormat& f = s.activeFormat;
    const double minDuration = f.minExposureDuration.seconds();
    const double maxDuration = std::min(longestAutomaticExposure, f.maxExposureDuration.seconds());
    const double product = s.exposureDuration.seconds() * double(s.iso) * std::exp2(stops);
    // Time first (the lowest ISO), then ISO.
    const double duration = std::clamp(product / double(f.minISO), minDuration, maxDuration);
    const double iso = std::clamp(product / duration, double(f.minISO), double(f.maxISO));
    s.exposureDuration = MediaTime::fromSeconds(duration);
    s.iso = float(iso);
}

} // namespace

SimulatedCaptureDevice::SimulatedCaptureDevice(const SimulatedCameraSpec& spec,
                                               const CameraProfile& profile,
                                               std::shared_ptr<const Scene> scene)
    : CaptureDevice(initialState(spec, profile)), spec_(spec), camera_(sceneCameraOf(spec)),
      scene_(std::move(scene)) {}

SimulatedCaptureDevice::~SimulatedCaptureDevice() = default;

void SimulatedCaptureDevice::renderFrame(const FrameExposure& exposure, FramePurpose purpose,
                                         PixelBuffer& out) const {
    scene_->render(camera_, exposure, purpose, out);
}

void SimulatedCaptureDevice::frameDidEnd(const FrameExposure& frame) {
    const std::array<double, 3> mean = scene_->meter(camera_, frame);
    const double frameSeconds = std::max(frame.durationSeconds, 1.0 / 30);
    update([&](CaptureDeviceState& s) {
        // Exposure: how far the frame was from 18 % grey plus the bias.
        const double target = 0.18 * std::exp2(double(s.exposureTargetBias));
        const double error = std::log2(std::max(mean[1], 1e-9) / target);
        s.exposureTargetOffset = float(std::clamp(error, -32.0, 32.0));
        if (automatic(s.exposureMode)) {
            const bool settled = std::abs(error) < exposureTolerance;
            s.isAdjustingExposure = !settled;
            if (std::abs(error) > exposureDeadBand) {
                adjustExposure(s, -error * exposureStep);
            }
            if (settled && s.exposureMode == ExposureMode::autoExpose) {
                s.exposureMode = ExposureMode::locked;
            }
        } else {
            s.isAdjustingExposure = false;
        }

        // Focus: everything in the scene is far away.
        if (automatic(s.focusMode)) {
            const auto sharp = float(spec_.infinityLensPosition);
            const auto step = float(focusSpeed * frameSeconds);
            const float distance = sharp - s.lensPosition;
            s.isAdjustingFocus = std::abs(distance) > 1e-4f;
            s.lensPosition =
                std::abs(distance) <= step ? sharp : s.lensPosition + std::copysign(step, distance);
            if (!s.isAdjustingFocus && s.focusMode == FocusMode::autoFocus) {
                s.focusMode = FocusMode::locked;
            }
        }

        // White balance: the frame's mean is grey.
        if (automatic(s.whiteBalanceMode) && mean[0] > 0 && mean[2] > 0) {
            const float largest = s.maxWhiteBalanceGain;
            const auto toward = [&](float current, double wanted) {
                const double clamped = std::clamp(wanted, 1.0, double(largest));
                return float(current * std::pow(clamped / current, exposureStep));
            };
            WhiteBalanceGains& g = s.deviceWhiteBalanceGains;
            const double red = mean[1] / mean[0];
            const double blue = mean[1] / mean[2];
            const bool settled = std::abs(std::log(red / g.redGain)) < 0.02 &&
                                 std::abs(std::log(blue / g.blueGain)) < 0.02;
            s.isAdjustingWhiteBalance = !settled;
            if (!settled) {
                g = {toward(g.redGain, red), 1.0f, toward(g.blueGain, blue)};
            } else if (s.whiteBalanceMode == WhiteBalanceMode::autoWhiteBalance) {
                s.whiteBalanceMode = WhiteBalanceMode::locked;
            }
        }
    });
}

void SimulatedCaptureDevice::streamingDidChange(bool streaming) {
    pressurePoll_.cancel();
    if (streaming) {
        pollPressure();
    }
}

void SimulatedCaptureDevice::pollPressure() {
    const SystemPressureLevel level = SystemPressure::current().level();
    update([level](CaptureDeviceState& s) {
        s.systemPressureState.level = level;
        s.systemPressureState.factors = level == SystemPressureLevel::nominal
                                            ? SystemPressureFactors::none
                                            : SystemPressureFactors::systemTemperature;
    });
    pressurePoll_ = eventQueue().asyncAfter(Seconds(pressureInterval), [weak = weak_from_this()] {
        if (const auto device = weak.lock()) {
            static_cast<SimulatedCaptureDevice&>(*device).pollPressure();
        }
    });
}

} // namespace qv::platform
