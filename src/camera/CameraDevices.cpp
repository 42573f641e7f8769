#include "camera/CameraDevices.hpp"

#include "camera/CameraManager.hpp"
#include "model/PhotoQualityInfo.hpp"
#include "model/ValueSeries.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureDeviceInput.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace qv {

using platform::CaptureDevice;
using platform::CaptureDeviceProperty;
using platform::CaptureDevicePropertyChange;
using platform::CaptureDeviceType;
using platform::ConfigurationLock;
using platform::FocusMode;

const std::vector<CaptureDeviceType>& CameraDevices::backCameraKinds() {
    static const std::vector<CaptureDeviceType> kinds{CaptureDeviceType::builtInWideAngleCamera,
                                                      CaptureDeviceType::builtInTelephotoCamera,
                                                      CaptureDeviceType::builtInUltraWideCamera};
    return kinds;
}

CameraType CameraDevices::cameraType(CaptureDeviceType kind) {
    switch (kind) {
    case CaptureDeviceType::builtInWideAngleCamera:
        return CameraType::wideAngle;
    case CaptureDeviceType::builtInTelephotoCamera:
        return CameraType::tele;
    case CaptureDeviceType::builtInUltraWideCamera:
        return CameraType::ultraWide;
    }
    return CameraType::wideAngle;
}

CameraDevices::~CameraDevices() {
    observations.clear(); // no report of the camera reaches a controller that is going
}

CameraDevices::DevicePointer CameraDevices::device(CameraType type) const {
    switch (type) {
    case CameraType::wideAngle:
        return wideAngleDevice;
    case CameraType::ultraWide:
        return ultraWideDevice;
    case CameraType::tele:
    case CameraType::tele25x:
    case CameraType::tele3x:
    case CameraType::tele5x:
        return telePhotoDevice;
    }
    return nullptr;
}

void CameraDevices::discoverDevices() {
    const auto found = platform::CaptureDeviceDiscovery::devices(backCameraKinds());
    for (const auto& device : found) {
        if (device->deviceType() == CaptureDeviceType::builtInUltraWideCamera &&
            device->isFocusModeSupported(FocusMode::continuousAutoFocus)) {
            camera.videoOutput->setAutomaticallyConfiguresOutputBufferDimensions(false);
            camera.videoOutput->setDeliversPreviewSizedOutputBuffers(false);
        }
        cameras.push_back(device);
        if (device->deviceType() == CaptureDeviceType::builtInTelephotoCamera) {
            publishTelephotoKind(device);
        }
    }
    for (const auto& device : cameras) {
        switch (device->deviceType()) {
        case CaptureDeviceType::builtInWideAngleCamera:
            wideAngleDevice = device;
            break;
        case CaptureDeviceType::builtInTelephotoCamera:
            telePhotoDevice = device;
            break;
        case CaptureDeviceType::builtInUltraWideCamera:
            ultraWideDevice = device;
            break;
        }
    }
}

void CameraDevices::publishTelephotoKind(const DevicePointer& telephoto) {
    camera.onMain([telephoto](CameraManager& self) {
        // The telephoto camera's zoom, from its field of view.
        const float fieldOfView = telephoto->activeFormat().videoFieldOfView;
        self.is12ProMax = fieldOfView < 35;
        if (fieldOfView < 23) {
            self.teleCameraSubType = CameraType::tele5x;
        } else if (fieldOfView < 29) {
            self.teleCameraSubType = CameraType::tele3x;
        } else if (fieldOfView < 33) {
            self.teleCameraSubType = CameraType::tele25x;
        }
    });
}

void CameraDevices::configureSession() {
    if (!platform::isMainThread()) {
        camera.onMain([](CameraManager& self) { self.devices_.configureSession(); });
        return;
    }
    if (configured) {
        return;
    }
    configured = true;
    camera.captureSession->setSessionPreset(platform::CaptureSessionPreset::photo);
    discoverDevices();
    if (cameras.empty()) {
        camera.onMain([](CameraManager& self) { self.cameraState = CameraState::noRAWCamera; });
        return;
    }
    const DevicePointer first = cameras.front();
    camera.onSession(
        [candidates = candidatesFrom(first, cameraType(first->deviceType()))](CameraManager& self) {
            self.devices_.setupFirstWorking(candidates);
            auto& output = *self.photoOutput;
            if (output.isProRAWSupported() && self.useProRAW.load()) {
                output.setProRAWEnabled(true);
            }
            output.setMaxPhotoQualityPrioritization(platform::PhotoQualityPrioritization::speed);
            auto& session = *self.captureSession;
            if (session.canAddOutput(self.videoOutput)) {
                session.addOutput(self.videoOutput);
            }
            if (session.canAddOutput(self.photoOutput)) {
                session.addOutput(self.photoOutput);
            } else {
                platform::print("The capture session cannot take the photo output");
            }
            session.startRunning();
            // Behind what the camera's setup published (its exposure, then ready, or why there
            // is no camera): a shutter tap never finds the camera ready before it has one.
            self.onMain([](CameraManager& owner) {
                owner.cameraPreviewLayer =
                    platform::CaptureVideoPreviewLayer::make(owner.captureSession);
            });
        });
}

namespace {

// The order of the camera switch.
constexpr CameraType switchCycle[] = {CameraType::wideAngle, CameraType::tele,
                                      CameraType::ultraWide};
constexpr std::size_t switchCycleLength = std::size(switchCycle);

std::size_t cyclePosition(CameraType type) {
    std::size_t position = 0;
    while (position < switchCycleLength && switchCycle[position] != type) {
        ++position;
    }
    return position % switchCycleLength;
}

} // namespace

std::vector<CameraType> CameraDevices::cycleFrom(CameraType first) const {
    std::vector<CameraType> kinds;
    const std::size_t start = cyclePosition(first);
    for (std::size_t step = 0; step < switchCycleLength; ++step) {
        const CameraType kind = switchCycle[(start + step) % switchCycleLength];
        if (device(kind)) {
            kinds.push_back(kind);
        }
    }
    return kinds;
}

std::vector<CameraDevices::Candidate> CameraDevices::candidatesFrom(const DevicePointer& first,
                                                                    CameraType type) const {
    std::vector<Candidate> candidates{{first, type}};
    const bool hasActive = camera.activeCaptureDevice.get() != nullptr;
    const CameraType active = camera.activeCameraType.get();
    for (const CameraType kind : cycleFrom(type)) {
        if (hasActive && kind == active) {
            break; // the camera in use stays when none before it works
        }
        if (kind != type) {
            candidates.push_back({device(kind), kind});
        }
    }
    return candidates;
}

void CameraDevices::switchCamera() {
    const CameraState state = camera.cameraState.get();
    // In noRAWCamera no camera could be set up: a switch tries them again, from the next.
    const bool retry = state == CameraState::noRAWCamera && !cameras.empty();
    if (!retry && (state != CameraState::ready || cameras.size() < 2)) {
        return;
    }
    if (camera.activeOverlayViews->contains(ActiveOverlayViews::magnifier)) {
        camera.activeOverlayViews =
            camera.activeOverlayViews->subtracting(ActiveOverlayViews::magnifier);
    }
    // The cycle wide, tele, ultra-wide, wide, skipping kinds the phone lacks.
    // The first kind after the active one (which need not be the phone's in noRAWCamera), or
    // the only kind there is.
    const CameraType active = camera.activeCameraType.get();
    const auto kinds = cycleFrom(active);
    if (kinds.empty()) {
        return;
    }
    const auto after = std::find_if(kinds.begin(), kinds.end(),
                                    [active](CameraType kind) { return kind != active; });
    const CameraType next = after != kinds.end() ? *after : kinds.front();
    const bool inStarTrails = camera.sequenceMode.get() == SequenceMode::starTrails;
    if (inStarTrails) {
        camera.commands_.setExposureMode();
    }
    changeCamera(next);
    if (inStarTrails) {
        camera.commands_.applyStarSettings();
    }
}

void CameraDevices::changeCamera(CameraType type) {
    const DevicePointer target = device(type);
    if (!target) {
        return;
    }
    camera.onSession([candidates = candidatesFrom(target, type)](CameraManager& self) {
        self.devices_.setupFirstWorking(candidates);
    });
}

void CameraDevices::setupFirstWorking(const std::vector<Candidate>& candidates) {
    for (const Candidate& candidate : candidates) {
        if (setupDeviceInput(candidate.device, candidate.type)) {
            return;
        }
    }
    restoreAfterFailedSetup();
}

bool CameraDevices::setupDeviceInput(const DevicePointer& device, CameraType type) {
    camera.onMain([device](CameraManager& self) {
        // Reset: the selection starts over on the new camera, automatic at 0 EV.
        const QVPhotoMath::ExposureLimits limits(*device);
        self.currentsExposureLimits = limits;
        self.selectedOffsetIndex = std::int64_t(QVPhotoMath::closestExposureBiasIndex(
            0, limits.minExposureTargetBias(), limits.maxExposureTargetBias()));
        self.cameraState = CameraState::changingSettings;
        self.isAutoExposure = true;
        if (self.sequenceMode.get() == SequenceMode::starTrails) {
            self.commands_.setExposureMode();
        }
        printPhotoQualityInfo(*device);
        self.isManualExposure = false;
    });
    disableLowLightBoost(*device);
    const bool replaced = replaceInput(device);
    if (replaced) {
        camera.onMain([device](CameraManager& self) {
            self.exposureSettings = ExposureSettings(device, self.sessionQueue());
            self.exposureMode = device->exposureMode();
        });
        camera.commands_.setExposureBias(camera.steadyExposureBias.load());
        observe(device);
        camera.onMain([device, type](CameraManager& self) {
            // Publish: the type first, so the star step below finds this camera's focus.
            self.activeCameraType = type;
            self.currentsExposureLimits = QVPhotoMath::ExposureLimits(*device);
            self.isAutoFocusSupported = device->isFocusModeSupported(FocusMode::autoFocus);
            self.activeCaptureDevice = device;
            self.commands_.setExposureBias(self.steadyExposureBias.get());
            self.lensPosition = device->lensPosition();
            self.focusMode = device->focusMode();
            self.systemPressureState = device->systemPressureState();
            self.cameraState = CameraState::ready;
            if (self.sequenceMode.get() == SequenceMode::starTrails) {
                self.commands_.applyStarSettings();
            }
        });
    }
    platform::print(device->activeFormat().videoFieldOfView);
    return replaced;
}

void CameraDevices::disableLowLightBoost(CaptureDevice& device) {
    if (!device.isLowLightBoostSupported()) {
        return;
    }
    ConfigurationLock lock(device);
    if (!lock) {
        platform::print("problem stteing low light boost");
        return;
    }
    device.setAutomaticallyEnablesLowLightBoostWhenAvailable(false);
}

bool CameraDevices::replaceInput(const DevicePointer& device) {
    platform::CaptureError error;
    const auto input = platform::CaptureDeviceInput::make(device, &error);
    if (!input) {
        platform::print("Error Unable to initialize back camera:  " + error.localizedDescription);
        return false;
    }
    auto& session = *camera.captureSession;
    const auto previous = session.inputs();
    for (const auto& old : previous) {
        session.removeInput(old);
    }
    if (!session.canAddInput(input)) {
        platform::print("The capture session cannot take the camera's input");
        for (const auto& old : previous) {
            session.addInput(old);
        }
        return false;
    }
    session.addInput(input);
    return true;
}

void CameraDevices::restoreAfterFailedSetup() {
    camera.onMain([](CameraManager& self) {
        // The camera in use stays: its limits and the offset at 0 EV come back.
        const auto active = self.activeCaptureDevice.get();
        if (!active) {
            self.cameraState = CameraState::noRAWCamera;
            return;
        }
        const QVPhotoMath::ExposureLimits limits(*active);
        self.currentsExposureLimits = limits;
        self.selectedOffsetIndex = std::int64_t(QVPhotoMath::closestExposureBiasIndex(
            0, limits.minExposureTargetBias(), limits.maxExposureTargetBias()));
        self.cameraState = CameraState::ready;
    });
}

void CameraDevices::observe(
    const DevicePointer& device, CaptureDeviceProperty property,
    std::function<void(CameraManager&, const CaptureDevicePropertyChange&)> onReport) {
    observations.push_back(
        device->observe(property, [weak = camera.weak_from_this(), onReport = std::move(onReport)](
                                      const CaptureDevicePropertyChange& change) {
            if (const auto self = weak.lock()) {
                onReport(*self, change);
            }
        }));
}

void CameraDevices::observe(const DevicePointer& device) {
    using P = CaptureDeviceProperty;
    using Change = CaptureDevicePropertyChange;
    observations.clear();
    const std::uint64_t generation = ++observedGeneration;
    // Each report is judged on the camera's thread and published from the main queue, where
    // a report of a camera set up before is dropped.
    const auto publish = [generation](CameraManager& self,
                                      std::function<void(CameraManager&)> work) {
        self.onMain([generation, work = std::move(work)](CameraManager& owner) {
            if (owner.devices_.observedGeneration.load() == generation) {
                work(owner);
            }
        });
    };
    const auto isReady = [](CameraManager& self) {
        return self.cameraState.load() == CameraState::ready;
    };
    observe(device, P::isAdjustingFocus, [device, publish](CameraManager& self, const Change&) {
        publish(self,
                [device](CameraManager& o) { o.isAdjustingFocus = device->isAdjustingFocus(); });
    });
    observe(device, P::isAdjustingExposure,
            [device, publish, isReady](CameraManager& self, const Change&) {
                if (isReady(self)) {
                    publish(self, [device](CameraManager& o) {
                        o.isAdjustingExposure = device->isAdjustingExposure();
                    });
                }
            });
    observe(
        device, P::exposureMode, [device, publish, isReady](CameraManager& self, const Change&) {
            if (isReady(self)) {
                publish(self,
                        [device](CameraManager& o) { o.exposureMode = device->exposureMode(); });
            }
        });
    for (const P property : {P::exposureDuration, P::iso}) {
        observe(device, property, [publish, isReady](CameraManager& self, const Change&) {
            if (isReady(self)) {
                publish(self, [](CameraManager& o) { o.devices_.exposureRefreshA(); });
            }
        });
    }
    // The bias range is observed as the camera's model has it, and nothing follows from it.
    for (const P property : {P::minExposureTargetBias, P::maxExposureTargetBias}) {
        observe(device, property, [](CameraManager&, const Change&) {});
    }
    observe(device, P::exposureTargetBias,
            [publish, isReady](CameraManager& self, const Change& change) {
                if (!isReady(self)) {
                    return;
                }
                if (self.isManualExposure.load()) {
                    if (const auto bias = change.newAs<float>()) {
                        publish(self, [bias = *bias](CameraManager& o) { o.previewOffset = bias; });
                    }
                    return;
                }
                publish(self, [](CameraManager& o) { o.devices_.exposureRefreshB(); });
            });
    observe(device, P::exposureTargetOffset,
            [publish, isReady](CameraManager& self, const Change& change) {
                const auto before = change.oldAs<float>();
                const auto after = change.newAs<float>();
                if (isReady(self) && self.isManualExposure.load() && before && after &&
                    std::fabs(*after - *before) > 0.6f) {
                    publish(self, [](CameraManager& o) { o.devices_.exposureRefreshB(); });
                }
            });
    observe(
        device, P::lensPosition, [device, publish, isReady](CameraManager& self, const Change&) {
            if (isReady(self)) {
                publish(self,
                        [device](CameraManager& o) { o.lensPosition = device->lensPosition(); });
            }
        });
    observe(device, P::focusMode, [device, publish](CameraManager& self, const Change&) {
        publish(self, [device](CameraManager& o) { o.focusMode = device->focusMode(); });
    });
    observe(device, P::systemPressureState, [device, publish](CameraManager& self, const Change&) {
        publish(self, [device](CameraManager& o) {
            o.systemPressureState = device->systemPressureState();
        });
    });
}

void CameraDevices::exposureRefreshA() {
    const bool starTrails = camera.sequenceMode.get() == SequenceMode::starTrails;
    camera.selection_.showChosenExposure(starTrails ? 0.0f : 8.0f);
}

void CameraDevices::exposureRefreshB() {
    if (const auto offset = camera.selection_.refreshPreviewOffset(false, 8.0f)) {
        camera.previewOffset = *offset;
    }
}

} // namespace qv
