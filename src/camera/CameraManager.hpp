#pragma once

#include "camera/CameraAccess.hpp"
#include "camera/CameraDevices.hpp"
#include "camera/CameraSettings.hpp"
#include "camera/CaptureLoop.hpp"
#include "camera/DebugDelegate.hpp"
#include "camera/DeviceCommands.hpp"
#include "camera/ExposureLock.hpp"
#include "camera/ExposureSelection.hpp"
#include "camera/LiveOverlays.hpp"
#include "camera/MotionLevel.hpp"
#include "camera/PhotoLibraryManager.hpp"
#include "camera/PreviewImageModel.hpp"
#include "camera/SequenceRun.hpp"
#include "camera/SequenceStart.hpp"
#include "camera/SequenceSteppers.hpp"
#include "camera/VolumeShutter.hpp"
#include "engine/ExposureSequence.hpp"
#include "model/ActiveOverlayViews.hpp"
#include "model/Angle.hpp"
#include "model/Enumerations.hpp"
#include "model/ExposureLimits.hpp"
#include "model/ExposureSettings.hpp"
#include "model/GridOverlayType.hpp"
#include "model/Histogram.hpp"
#include "platform/capture/CaptureDevice.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/ImageManager.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/sensors/LocationManager.hpp"
#include "platform/sensors/MotionManager.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Published.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/Application.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace qv {

// What the controller is made with: the app passes the real services, tests in-memory
// ones. Each must outlive the controller. The cameras come from CaptureDeviceDiscovery,
// whose installation (the simulated camera's devices, or a test's) must be in place before
// the session is configured.
struct CameraServices {
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    platform::Device& device = platform::Device::current(); // how the phone is held
    platform::Permissions& permissions = platform::Permissions::shared();
    // Where results are saved: Documents (or the cloud container's), then the library.
    platform::PhotoLibrary& photoLibrary = platform::PhotoLibrary::shared();
    platform::AppFolders folders = platform::AppFolders::fromEnvironment();
    platform::LocationOptions location = {}; // the configured fix (the command line's)
    // Where the picture merged so far is shown while a run shoots.
    std::shared_ptr<PreviewImageModel> previewImageModel = PreviewImageModel::shared();
    // The main screen's width in pixels, for the live frames' scale.
    platform::Application& application = platform::Application::shared();
};

// The one camera controller of the app: it owns the cameras and the capture work around
// them and publishes its state for the screens, which read its published properties,
// write them and its settings through bindings, and call its operations. This header is
// the one list of what the screens may read and call; the work is done by rooms, one per
// concern, that the controller owns: CameraSettings (the stored settings), CameraDevices
// (discovery, session, switching, device observation), ExposureSelection (mode and
// exposure selection), DeviceCommands (focus, bias, lens, white balance, star settings),
// and the run: SequenceRun (release, abort, the run on the main queue, finish, series),
// SequenceStart (the plan and start of a run), ExposureLock (focus and exposure frozen for a
// run), CaptureLoop (photos, merges, intermediates and results on "PhotoSession"),
// VolumeShutter (the volume keys); PhotoLibraryManager saves the results; and around them
// CameraAccess (permissions, location, the library's thumbnail), LiveOverlays (overlay
// switches and live frames), MotionLevel (accelerometer and spirit level), SequenceSteppers
// (the settings' steppers and location switch) (docs/camera.md).
//
// Threads: published state and settings are written on the main queue, where the screens
// read them and call the operations; observers run there too. Other queues read published
// values through their mirrors (load()). Device configuration runs on "PhotoSession"
// (sessionQueue) or on the main queue, each change inside a ConfigurationLock scope that
// never outlives its block. Work queued on any queue holds the controller weakly and does
// nothing once it is gone.
class CameraManager final : public platform::ObservableObject,
                            public std::enable_shared_from_this<CameraManager> {
public:
    template <typename T>
    using Published = platform::Published<T>;
    using DevicePointer = std::shared_ptr<platform::CaptureDevice>;
    using ImagePointer = std::shared_ptr<const platform::RgbaImage>;

    // Makes the controller and starts it up. Call on the main queue. The controller ends on
    // the main thread whichever thread drops its last reference; its owner lets go on the
    // main thread with platform::releaseWhileRunningMainQueue(), which runs the main queue
    // until it has ended, before the services go (platform/dispatch/MainThreadEnd.hpp).
    static std::shared_ptr<CameraManager> make(CameraServices services = {});
    ~CameraManager();
    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // Constants
    static constexpr double cameraAspectRatio = 4.0 / 3.0; // height to width of the preview
    static constexpr double cornerRadius = 5.0;
    // Numbers of runs a series can have: 1...99, 100...990 by 10, 1000...10000 by 100.
    static const std::array<std::int64_t, 280>& repetitionsRange();

    // The thirteen stored settings ("delay", "fileFormat", the star focus, ...).
    CameraSettings settings;
    // The plan and progress of the run; the same object for the controller's life.
    const std::shared_ptr<ExposureSequence> exposureSequence;
    // The capture session and its outputs, made once; configured by configureSession().
    const std::shared_ptr<platform::CaptureSession> captureSession;
    const std::shared_ptr<platform::CapturePhotoOutput> photoOutput;
    const std::shared_ptr<platform::CaptureVideoDataOutput> videoOutput;
    // Saves results into Documents and the photo library; its "cloudStorage" setting.
    PhotoLibraryManager photoLibraryManager;
    platform::LocationManager locationManager;
    // A diagnostic photo receiver, kept for the controller's life; no capture is handed it.
    const std::shared_ptr<DebugDelegate> debugDelegate;

    // Controller state
    Published<CameraState> cameraState{*this, CameraState::starting};
    Published<bool> showResultImage{*this, false};
    Published<bool> wasBackgoundedBefore{*this, false};
    Published<bool> showWhatsNewView{*this, false};
    Published<bool> isCameraAuthorized{*this, false};
    Published<bool> isPhotoLibraryAuthorized{*this, false};
    Published<bool> isGPSAuthorized{*this, false};
    Published<bool> useProRAW{*this, false};
    Published<bool> isRAWcapabale{*this, false};
    Published<std::shared_ptr<platform::CaptureVideoPreviewLayer>> cameraPreviewLayer{*this,
                                                                                      nullptr};
    Published<platform::DeviceOrientation> deviceOrientation;

    // Exposure selection (observers: ExposureSelection)
    Published<bool> isAutoExposure{*this, true};
    Published<bool> isManualExposure{*this, false};
    Published<std::vector<std::int64_t>> selectableISOs;
    Published<std::vector<double>> selectableShutterSpeeds;
    Published<std::int64_t> selectedISOIndex{*this, 0};
    Published<std::int64_t> selectedShutterSpeedIndex{*this, 0};
    Published<std::int64_t> selectedOffsetIndex{*this, 0};
    Published<QVPhotoMath::ExposureLimits> currentsExposureLimits;
    Published<SequenceMode> sequenceMode{*this, SequenceMode::frameAveraging};
    Published<float> steadyExposureBias{*this, 0};
    Published<float> previewOffset{*this, 0};
    Published<std::optional<ExposureSettings>> exposureSettings{*this, std::nullopt};
    // Position in the night-mode duration list; written by the screen, read by the run.
    std::int64_t selectedNightModeShutterSpeedIndex = 0;
    // Night-mode frames counted for the run; every start sets it to 0. Main queue.
    std::int64_t nightModeFrameCount = 0;

    // The active camera
    Published<DevicePointer> activeCaptureDevice{*this, nullptr};
    Published<CameraType> activeCameraType{*this, CameraType::wideAngle};
    Published<CameraType> teleCameraSubType{*this, CameraType::tele};
    Published<bool> is12ProMax{*this, false};
    Published<platform::ExposureMode> exposureMode{*this,
                                                   platform::ExposureMode::continuousAutoExposure};
    Published<platform::FocusMode> focusMode{*this, platform::FocusMode::continuousAutoFocus};
    Published<bool> isAutoFocusSupported{*this, false};
    Published<bool> isAdjustingFocus{*this, false};
    Published<bool> isAdjustingExposure{*this, false};
    Published<float> lensPosition{*this, 0};
    // The last tap-to-focus point in the preview's points (focusAtCenter stores the camera's
    // point of interest, which the screen does not draw).
    Published<platform::CapturePoint> focusPoint{*this, {0, 0}};
    Published<std::optional<platform::SystemPressureState>> systemPressureState{*this,
                                                                                std::nullopt};

    // The run and its series
    Published<std::int64_t> selectedRepetitionsIndex{*this, 0};
    Published<std::int64_t> selectedIntervalDelayIndex{*this, 0};
    Published<std::int64_t> remainingSequences{*this, 0};
    Published<std::optional<platform::WallTime>> targetSequenceStartTime{*this, std::nullopt};
    Published<std::uint32_t> lastProgressFrameNumber{*this, 0};

    // Messages, overlays and pictures
    Published<std::string> messageToShow{*this, ""};
    Published<bool> isShowingMessageOverlay{*this, false};
    Published<ActiveOverlayViews> activeOverlayViews{*this, {}};
    Published<ImagePointer> previewUIImage{*this, nullptr};
    Published<ImagePointer> resultUIImage{*this, nullptr};
    Published<ImagePointer> libraryThumbnail{*this, nullptr};
    Published<std::optional<double>> previewImageScale{*this, std::nullopt};
    Published<std::optional<double>> screenWidth{*this, std::nullopt};
    Published<std::optional<Histogram>> histogram{*this, std::nullopt};
    Published<GridOverlayType> gridOverlayType{*this, GridOverlayType::rectangular(3, 3)};

    // The spirit level: tilts from the averaged accelerometer samples (MotionLevel).
    Published<Angle> angleXY{*this, {}};
    Published<Angle> angleYZ{*this, {}};
    Published<Angle> angleXZ{*this, {}};

    // Computed values (main queue)
    // "1x", "2x", "0.5x", or the telephoto camera's own zoom ("2.5x", "3x", "5x").
    std::string zoomFactorLabel() const;
    // Whole seconds until the run starts, rounded up; 0 without a start time.
    std::int64_t remainingCountdownSeconds() const;
    // The camera is focusing once (auto focus), so the focus marker shows.
    bool isAutoFocusing() const;
    // A run is shooting and has time left: most controls do nothing meanwhile.
    bool isShootingWithTimeLeft() const;
    // The magnifier's scale: screenWidth over the live image's width in points; 1 while
    // either is missing.
    double previewImageFitScale() const;
    // Which run of its series is shooting (or finishing), run k of n as it began; nothing
    // outside a run (SequenceRun).
    std::optional<SeriesPosition> seriesPosition() const;
    // A shutter press does nothing now: the camera is starting, not allowed, missing or
    // being changed, or there is no active camera (a run could never end without one).
    bool ignoresShutterPress() const;
    // The spirit level's forward tilt in degrees, 0 upright: from angleYZ in portrait (either
    // way up), else from angleXZ.
    double levelAngle() const;

    // The chosen exposure and series wait, from the selector positions (ExposureSelection).
    // Safe from any thread; a position outside its list is corrected on the main queue.
    float selectedISO();
    double selectedShutterSpeed();
    platform::MediaTime selectedExposureDuration();
    float selectedExposureBias();
    double selectedIntervalDelay() const;
    // Night mode's run lengths (1 s to 30 times the longest exposure) and the one chosen, its
    // position read clamped into the list (ExposureSelection).
    std::vector<double> nightModeShutterSpeeds() const;
    double selectedNightModeShutterSpeed() const;

    // The back cameras found when the session was configured (CameraDevices).
    const std::vector<DevicePointer>& availableCameras() const;

    // Operations for the screens and the app (main queue)
    // Builds and starts the session on the first camera found; once per controller. Called
    // at start-up when camera access is granted, or when it is granted later.
    void configureSession();
    // The next back camera (wide, tele, ultra-wide; missing kinds skipped; one whose input
    // cannot be made passed over) in ready; in noRAWCamera a retry of every camera.
    void switchCamera();
    // Publishes how the phone is held now (unknown is ignored).
    void updateDeviceOrientation();
    void switchSequenceMode(int direction);
    // Shows `text` in the message banner for `duration` seconds. Any thread.
    void showMessage(std::string text, double duration);
    // Focuses once on a point of the preview, in its points.
    void focusAtPoint(double x, double y);
    void focusAtCenter();
    void setLensPosition(float position);
    void setExposureBias(float bias);
    void applyStarSettings();

    // The run (SequenceRun; docs/camera.md)
    // In ready: starts a series (after the release delay); a press before the last run has
    // finished is refused. Otherwise: aborts the countdown, the run (finished and saved at
    // its next request) or the series. Main queue.
    void shutterReleasePressed();
    // The app goes to the background: a pending start or repetition is cancelled, no
    // request follows, and the run shooting now is finished and saved; a start or run that
    // ends before its first frame says so in one console line, as there is nothing to save.
    // Without any of them it does nothing, so a state without a run (no camera, starting,
    // ...) stays.
    void finishSequence();
    // Steps "fileFormat" RAW, JPEG, TIFF, RAW and shows the new one's name.
    void toggleFileFormat();
    // One second later, makes the preview layer when there is none (back from the
    // background).
    void ensurePreviewLayer();
    // Hides the what's-new sheet and records this version as "lastLaunchedVersion".
    void saveLastLaunchedVersion();
    // The active camera's limits and the ISO and shutter lists of the manual selectors.
    void setManualExposure();
    // Arms or disarms the volume keys by "volumeShutter" (VolumeShutter).
    void setupVolumeShutter();
    // Disarms the volume keys whatever the setting (the app goes to the background).
    void disableVolumeShutter();

    // Access (CameraAccess): camera and Photos from the access screen, the location from the
    // location switch. A refused service opens the app's settings page instead.
    void requestCameraAccess();
    void requestPhotoLibraryAccess();
    void requestLocationAccess();

    // Overlays (LiveOverlays): each switch turns its overlay on alone, or off; a long press
    // on the grid button cycles the grid.
    void toggleGrid();
    void toggleSpiritLevel();
    void toggleHistogram();
    void toggleMagnifier();
    void cycleGridOverlay();

    // Motion (MotionLevel): (re)starts the accelerometer, e.g. when the app becomes active;
    // it stops at the first sample that finds the spirit level off. Any thread.
    void startAccelerometerUpdates();
    // Forgets the averaged samples (the app going to the background). Any thread.
    void emptySmoothedAcceleration();
    // The app stops the updates when the camera screen goes.
    platform::MotionManager& motionManager() { return motion_.motionManager(); }

    // Settings screen (SequenceSteppers): one step of the run length or the interval of
    // intermediate saves, and the "Save GPS data" switch.
    void decreaseDuration();
    void increaseDuration();
    void decreaseInterimInterval();
    void increaseInterimInterval();
    void toggleSaveLocationData();

    // Pages outside the app (PageOpeners.hpp).
    void openSettingsPage();
    void openPrivacyPolicy();
    void openTermsOfUse();
    void openWebPage(const std::string& address);

    // Where the picture merged so far is shown while a run shoots (the progress display).
    const std::shared_ptr<PreviewImageModel>& previewImageModel() const {
        return services_.previewImageModel;
    }

    // The queues of the capture work.
    const std::shared_ptr<platform::DispatchQueue>& sessionQueue() const { return sessionQueue_; }
    const std::shared_ptr<platform::DispatchQueue>& backgroundQueue() const {
        return backgroundQueue_;
    }
    const std::shared_ptr<platform::DispatchQueue>& videoDataQueue() const {
        return videoDataQueue_;
    }

private:
    friend class CameraAccess;
    friend class CameraDevices;
    friend class CaptureLoop;
    friend class DeviceCommands;
    friend class ExposureLock;
    friend class ExposureSelection;
    friend class LiveOverlays;
    friend class MotionLevel;
    friend class RunPhotoDelegate;
    friend class SequenceRun;
    friend class SequenceStart;
    friend class SequenceSteppers;
    friend class VolumeShutter;

    explicit CameraManager(CameraServices services);
    void installObservers();
    void startUp();
    void volumeShutterChanged();

    // `work` as a block that holds the controller weakly and runs only while it exists.
    std::function<void()> whileAlive(std::function<void(CameraManager&)> work);
    // Queues `work` on a queue; it runs only while the controller still exists.
    void onMain(std::function<void(CameraManager&)> work);
    platform::CancelToken onMainAfter(double seconds, std::function<void(CameraManager&)> work);
    void onSession(std::function<void(CameraManager&)> work);
    // A handler for a platform callback on any thread: it queues `work` with the callback's
    // arguments on the main queue, where it runs only while the controller still exists.
    template <typename... Args>
    std::function<void(Args...)>
    onMainWith(std::type_identity_t<std::function<void(CameraManager&, Args...)>> work) {
        return [weak = weak_from_this(), work = std::move(work)](Args... args) {
            platform::DispatchQueue::main().async([weak, work, args...] {
                if (const auto self = weak.lock()) {
                    work(*self, args...);
                }
            });
        };
    }

    // Live frames come back after a run, whatever overlay is on (LiveOverlays).
    void resumeLiveFrames();

    // Hands a result to the library writer; a failed save shows its banner.
    void saveResult(std::optional<platform::imaging::FileData> data, SupportedImageFormat format,
                    int index, std::optional<std::string> suffix);

    CameraServices services_;
    // The library's pictures for display: the thumbnail and the newest picture.
    platform::ImageManager imageManager_{services_.photoLibrary};
    std::shared_ptr<platform::DispatchQueue> sessionQueue_;
    std::shared_ptr<platform::DispatchQueue> backgroundQueue_;
    std::shared_ptr<platform::DispatchQueue> videoDataQueue_;
    ExposureSelection selection_{*this};
    DeviceCommands commands_{*this};
    CameraDevices devices_{*this};
    SequenceRun sequenceRun_{*this};
    SequenceStart sequenceStart_{*this};
    ExposureLock exposureLock_{*this};
    CaptureLoop captureLoop_{*this};
    VolumeShutter volumeShutter_{*this};
    CameraAccess access_{*this};
    LiveOverlays overlays_{*this};
    MotionLevel motion_{*this, services_.device};
    SequenceSteppers steppers_{*this};
};

} // namespace qv
