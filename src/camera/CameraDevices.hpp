#pragma once

#include "model/Enumerations.hpp"
#include "platform/capture/CaptureDevice.hpp"
#include "platform/state/Signal.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class CameraManager;

// The controller's cameras: discovery of the back cameras, the one capture session with
// its outputs, switching between the cameras, and the observation of the active camera
// that keeps the published focus, exposure and pressure state in step with it.
//
// Setting up a camera (setupDeviceInput, on "PhotoSession") queues three main-queue blocks
// in order: reset (limits, offset 0 EV, automatic exposure, state changingSettings), model
// (exposure settings of the camera) and publish (type, limits, device, lens, focus mode,
// pressure, state ready, star settings in star trails). A camera whose input cannot be made,
// or that the session refuses, is passed over with its console line: the next camera of the
// cycle (wide, tele, ultra-wide) is set up instead, and so on up to the active camera. When
// none works the old input stays, the active camera's limits come back and the state returns
// to ready; without an active camera every camera is tried, then the state is noRAWCamera.
//
// Observation: the active camera's reports arrive on its event queue; each handler reads the
// state gates there through the published mirrors and queues its write on the main queue.
// Reports of a camera that is no longer the one observed are ignored.
//
// Threads: discovery, configureSession, switchCamera and changeCamera on the main queue;
// setupDeviceInput and the observation handles on "PhotoSession".
class CameraDevices {
public:
    using DevicePointer = std::shared_ptr<platform::CaptureDevice>;

    // The kinds asked for, in this order.
    static const std::vector<platform::CaptureDeviceType>& backCameraKinds();
    // The camera type a device kind stands for (wide, tele, ultra-wide).
    static CameraType cameraType(platform::CaptureDeviceType kind);

    explicit CameraDevices(CameraManager& owner) : camera(owner) {}
    ~CameraDevices();
    CameraDevices(const CameraDevices&) = delete;
    CameraDevices& operator=(const CameraDevices&) = delete;

    const std::vector<DevicePointer>& availableCameras() const { return cameras; }
    // The device of a camera type (every telephoto type gives the telephoto device); null
    // when the phone has none of that kind.
    DevicePointer device(CameraType type) const;

    void configureSession();
    // The next camera of the cycle, in ready with two cameras or more; in noRAWCamera (no
    // camera could be set up) with any camera, as a retry.
    void switchCamera();
    // Sets up the device of the type on "PhotoSession"; nothing for a type without one. When
    // its setup fails, the next cameras of the cycle are tried in turn (see above).
    void changeCamera(CameraType type);

private:
    struct Candidate {
        DevicePointer device;
        CameraType type;
    };
    // The kinds the phone has, in the order of the cycle, starting with `first`.
    std::vector<CameraType> cycleFrom(CameraType first) const;
    // The cameras a setup tries in turn, from `first` (main queue): every kind of the cycle
    // the phone has, up to the active camera's kind, or all of them without an active camera.
    std::vector<Candidate> candidatesFrom(const DevicePointer& first, CameraType type) const;
    // Sets up the first candidate that works, else restores the camera in use. "PhotoSession".
    void setupFirstWorking(const std::vector<Candidate>& candidates);
    void discoverDevices();
    void publishTelephotoKind(const DevicePointer& telephoto);
    // False (nothing changed but the reset block) when the input could not be replaced.
    bool setupDeviceInput(const DevicePointer& device, CameraType type); // "PhotoSession"
    void disableLowLightBoost(platform::CaptureDevice& device);
    // Makes the device's input the session's only one; false (old input kept) when no input
    // can be made or the session refuses it.
    bool replaceInput(const DevicePointer& device);
    void restoreAfterFailedSetup();
    void observe(const DevicePointer& device); // "PhotoSession"
    // Registers one observation whose handler runs `onReport` on the camera's event queue
    // while the controller exists.
    void observe(
        const DevicePointer& device, platform::CaptureDeviceProperty property,
        std::function<void(CameraManager&, const platform::CaptureDevicePropertyChange&)> onReport);
    // The exposure refreshes after a report (main queue): A after ISO and duration reports,
    // B after bias reports and large offset jumps in manual exposure.
    void exposureRefreshA();
    void exposureRefreshB();

    CameraManager& camera;
    // Written on the main queue by configureSession, which runs once.
    bool configured = false;
    std::vector<DevicePointer> cameras;
    DevicePointer wideAngleDevice;
    DevicePointer telePhotoDevice;
    DevicePointer ultraWideDevice;
    // The active camera's observations; replaced on "PhotoSession" by each setup.
    std::vector<platform::Subscription> observations;
    // Bumped by each setup's observations: reports queued for an earlier camera see a newer
    // number on the main queue and are dropped.
    std::atomic<std::uint64_t> observedGeneration{0};
};

} // namespace qv
