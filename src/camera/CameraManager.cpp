#include "camera/CameraManager.hpp"

#include "camera/PageOpeners.hpp"
#include "model/AppVersion.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/system/AppInfo.hpp"

#include <cmath>
#include <utility>

namespace qv {

using platform::DispatchQueue;
using platform::QoS;

const std::array<std::int64_t, 280>& CameraManager::repetitionsRange() {
    static const auto range = [] {
        std::array<std::int64_t, 280> counts{};
        std::size_t i = 0;
        for (std::int64_t n = 1; n <= 99; ++n) {
            counts[i++] = n;
        }
        for (std::int64_t n = 100; n <= 990; n += 10) {
            counts[i++] = n;
        }
        for (std::int64_t n = 1000; n <= 10000; n += 100) {
            counts[i++] = n;
        }
        return counts;
    }();
    return range;
}

std::shared_ptr<CameraManager> CameraManager::make(CameraServices services) {
    // Blocks on the cameras' and the controller's queues hold it while they work, so the last
    // reference may drop on any of them; its end (which stops queues and unregisters from the
    // photo library) still runs on the main thread.
    auto camera = platform::makeEndingOnMainThread(new CameraManager(services));
    camera->startUp();
    return camera;
}

CameraManager::CameraManager(CameraServices services)
    : settings(*this, services.defaults, [this] { volumeShutterChanged(); }),
      exposureSequence(ExposureSequence::make(services.defaults)),
      captureSession(std::make_shared<platform::CaptureSession>()),
      photoOutput(std::make_shared<platform::CapturePhotoOutput>()),
      videoOutput(std::make_shared<platform::CaptureVideoDataOutput>()),
      photoLibraryManager(services.defaults, services.photoLibrary, services.folders),
      locationManager(services.permissions, services.location),
      debugDelegate(std::make_shared<DebugDelegate>()),
      deviceOrientation(*this, services.device.orientation()),
      selectableISOs(*this, {QVPhotoMath::standardISOs.begin(), QVPhotoMath::standardISOs.end()}),
      selectableShutterSpeeds(
          *this, {QVPhotoMath::allShutterSpeeds().begin(), QVPhotoMath::allShutterSpeeds().end()}),
      currentsExposureLimits(*this,
                             QVPhotoMath::ExposureLimits::fromSeconds(0.001, 0.1, 100, 800, -8, 8)),
      services_(services),
      sessionQueue_(std::make_shared<DispatchQueue>("PhotoSession", QoS::userInitiated)),
      backgroundQueue_(std::make_shared<DispatchQueue>("PhotoSaverSession", QoS::utility)),
      videoDataQueue_(std::make_shared<DispatchQueue>("video data queue", QoS::userInitiated)) {
    installObservers();
}

CameraManager::~CameraManager() = default;

void CameraManager::installObservers() {
    isAutoExposure.setObservers([this](bool value) { selection_.autoExposureWillChange(value); },
                                {});
    isManualExposure.setObservers(
        [this](bool value) { selection_.manualExposureWillChange(value); }, {});
    selectedISOIndex.setObservers({},
                                  [this](std::int64_t) { selection_.exposureIndexDidChange(); });
    selectedShutterSpeedIndex.setObservers(
        {}, [this](std::int64_t) { selection_.exposureIndexDidChange(); });
    selectedOffsetIndex.setObservers({},
                                     [this](std::int64_t) { selection_.offsetIndexDidChange(); });
    sequenceMode.setObservers({},
                              [this](SequenceMode old) { selection_.sequenceModeDidChange(old); });
    selectedRepetitionsIndex.setObservers(
        {}, [this](std::int64_t) { selection_.repetitionsIndexDidChange(); });
}

void CameraManager::startUp() {
    access_.start();
    overlays_.start();
    isCameraAuthorized = access_.cameraAccessGranted();
    isPhotoLibraryAuthorized = access_.photoLibraryAccessGranted();
    access_.checkLocationAuthorization();
    startAccelerometerUpdates();
    showWhatsNewView = !isSameVersionAsLastLaunch();
    if (isCameraAuthorized.get()) {
        configureSession();
    }
    if (isPhotoLibraryAuthorized.get()) {
        access_.checkPhotoLibraryAuthorization();
        access_.loadLibraryThumbnail();
    }
    setupVolumeShutter();
}

void CameraManager::volumeShutterChanged() {
    setupVolumeShutter();
    platform::print(std::string("Volume Shutter setting changed to ") +
                    (settings.useVolumeShutter.get() ? "true" : "false"));
}

std::function<void()> CameraManager::whileAlive(std::function<void(CameraManager&)> work) {
    return [weak = weak_from_this(), work = std::move(work)] {
        if (const auto self = weak.lock()) {
            work(*self);
        }
    };
}

void CameraManager::onMain(std::function<void(CameraManager&)> work) {
    DispatchQueue::main().async(whileAlive(std::move(work)));
}

platform::CancelToken CameraManager::onMainAfter(double seconds,
                                                 std::function<void(CameraManager&)> work) {
    return DispatchQueue::main().asyncAfter(platform::Seconds(seconds),
                                            whileAlive(std::move(work)));
}

void CameraManager::onSession(std::function<void(CameraManager&)> work) {
    sessionQueue_->async(whileAlive(std::move(work)));
}

std::string CameraManager::zoomFactorLabel() const {
    const auto label = [](CameraType type) {
        switch (type) {
        case CameraType::wideAngle:
            return "1x";
        case CameraType::tele:
            return "2x";
        case CameraType::ultraWide:
            return "0.5x";
        case CameraType::tele25x:
            return "2.5x";
        case CameraType::tele3x:
            return "3x";
        case CameraType::tele5x:
            return "5x";
        }
        return "1x";
    };
    const CameraType active = activeCameraType.get();
    const CameraType tele = teleCameraSubType.get();
    if (tele != CameraType::tele && active == CameraType::tele) {
        return label(tele);
    }
    return label(active);
}

std::int64_t CameraManager::remainingCountdownSeconds() const {
    const auto& target = targetSequenceStartTime.get();
    if (!target) {
        return 0;
    }
    const double seconds = platform::Seconds(*target - platform::wallNow()).count();
    return platform::saturatingCast<std::int64_t>(std::ceil(seconds));
}

bool CameraManager::isAutoFocusing() const {
    return isAdjustingFocus.get() && focusMode.get() == platform::FocusMode::autoFocus;
}

bool CameraManager::isShootingWithTimeLeft() const {
    return exposureSequence->remainingTime() > 0 && cameraState.get() == CameraState::shooting;
}

double CameraManager::previewImageFitScale() const {
    const auto& image = previewUIImage.get();
    const auto& width = screenWidth.get();
    if (!image || !width || image->empty() || !(image->scale > 0)) {
        return 1.0;
    }
    // The width as shown: the live frame stands upright (turned a quarter), so its width in
    // points is its stored height.
    const std::size_t shownWidth =
        platform::swapsSides(image->orientation) ? image->height() : image->width();
    return *width / (double(shownWidth) / image->scale);
}

double CameraManager::levelAngle() const {
    using platform::DeviceOrientation;
    const DeviceOrientation orientation = deviceOrientation.get();
    const bool upright = orientation == DeviceOrientation::portrait ||
                         orientation == DeviceOrientation::portraitUpsideDown;
    double degrees = (upright ? angleYZ.get() : angleXZ.get()).degrees();
    if (degrees < 0) {
        degrees += 180;
    }
    return 90 - degrees;
}

std::optional<SeriesPosition> CameraManager::seriesPosition() const {
    return sequenceRun_.seriesPosition();
}

bool CameraManager::ignoresShutterPress() const {
    switch (cameraState.get()) {
    case CameraState::starting:
    case CameraState::cameraNotAllowed:
    case CameraState::noRAWCamera:
    case CameraState::changingSettings:
        return true;
    case CameraState::ready:
    case CameraState::countdown:
    case CameraState::shooting:
    case CameraState::finishing:
        return !activeCaptureDevice.get();
    }
    return true;
}

float CameraManager::selectedISO() {
    return selection_.selectedISO();
}

double CameraManager::selectedShutterSpeed() {
    return selection_.selectedShutterSpeed();
}

platform::MediaTime CameraManager::selectedExposureDuration() {
    return selection_.selectedExposureDuration();
}

float CameraManager::selectedExposureBias() {
    return selection_.selectedExposureBias();
}

double CameraManager::selectedIntervalDelay() const {
    return selection_.selectedIntervalDelay();
}

std::vector<double> CameraManager::nightModeShutterSpeeds() const {
    return selection_.nightModeShutterSpeeds();
}

double CameraManager::selectedNightModeShutterSpeed() const {
    return selection_.selectedNightModeShutterSpeed();
}

const std::vector<CameraManager::DevicePointer>& CameraManager::availableCameras() const {
    return devices_.availableCameras();
}

void CameraManager::configureSession() {
    devices_.configureSession();
}

void CameraManager::switchCamera() {
    devices_.switchCamera();
}

void CameraManager::updateDeviceOrientation() {
    if (services_.device.orientation() == platform::DeviceOrientation::unknown) {
        return;
    }
    onMain([](CameraManager& self) {
        platform::withAnimation(
            [&] { self.deviceOrientation = self.services_.device.orientation(); });
    });
}

void CameraManager::switchSequenceMode(int direction) {
    selection_.switchSequenceMode(direction);
}

void CameraManager::showMessage(std::string text, double duration) {
    // Each message hides itself at its own time; callable from any thread.
    onMain([text = std::move(text), duration](CameraManager& self) {
        self.messageToShow = text;
        self.isShowingMessageOverlay = true;
        self.onMainAfter(duration,
                         [](CameraManager& owner) { owner.isShowingMessageOverlay = false; });
    });
}

void CameraManager::focusAtPoint(double x, double y) {
    commands_.focusAtPoint(x, y);
}

void CameraManager::focusAtCenter() {
    commands_.focusAtCenter();
}

void CameraManager::setLensPosition(float position) {
    commands_.setLensPosition(position);
}

void CameraManager::setExposureBias(float bias) {
    commands_.setExposureBias(bias);
}

void CameraManager::applyStarSettings() {
    commands_.applyStarSettings();
}

void CameraManager::shutterReleasePressed() {
    sequenceRun_.shutterReleasePressed();
}

void CameraManager::finishSequence() {
    sequenceRun_.finishSequence();
}

void CameraManager::toggleFileFormat() {
    using enum SupportedImageFormat;
    const SupportedImageFormat format = settings.fileFormat.get();
    const SupportedImageFormat next = format == RAW ? JPEG : format == JPEG ? TIFF : RAW;
    settings.fileFormat = next;
    showMessage(std::string(rawValue(next)), 1.5);
}

void CameraManager::ensurePreviewLayer() {
    onMainAfter(1.0, [](CameraManager& self) {
        if (!self.cameraPreviewLayer.get()) {
            self.cameraPreviewLayer = platform::CaptureVideoPreviewLayer::make(self.captureSession);
            self.sendWillChange();
        }
    });
}

void CameraManager::saveLastLaunchedVersion() {
    showWhatsNewView = false;
    recordLaunchedVersion();
}

void CameraManager::setManualExposure() {
    exposureLock_.setManualExposure();
}

void CameraManager::setupVolumeShutter() {
    volumeShutter_.setup();
}

void CameraManager::disableVolumeShutter() {
    volumeShutter_.disable();
}

void CameraManager::saveResult(std::optional<platform::imaging::FileData> data,
                               SupportedImageFormat format, int index,
                               std::optional<std::string> suffix) {
    photoLibraryManager.save(std::move(data), format, index, std::move(suffix),
                             [weak = weak_from_this()](const SaveReport& report) {
                                 const auto banner = runbanner::forSave(report.outcome);
                                 const auto self = weak.lock();
                                 if (banner && self) {
                                     self->showMessage(*banner, runbanner::bannerSeconds);
                                 }
                             });
}

void CameraManager::requestCameraAccess() {
    access_.requestCameraAccess();
}

void CameraManager::requestPhotoLibraryAccess() {
    access_.requestPhotoLibraryAccess();
}

void CameraManager::requestLocationAccess() {
    access_.requestLocationAccess();
}

void CameraManager::toggleGrid() {
    overlays_.toggleGrid();
}

void CameraManager::toggleSpiritLevel() {
    overlays_.toggleSpiritLevel();
}

void CameraManager::toggleHistogram() {
    overlays_.toggleHistogram();
}

void CameraManager::toggleMagnifier() {
    overlays_.toggleMagnifier();
}

void CameraManager::cycleGridOverlay() {
    overlays_.cycleGridOverlay();
}

void CameraManager::startAccelerometerUpdates() {
    motion_.startAccelerometerUpdates();
}

void CameraManager::emptySmoothedAcceleration() {
    motion_.emptySmoothedAcceleration();
}

void CameraManager::decreaseDuration() {
    steppers_.decreaseDuration();
}

void CameraManager::increaseDuration() {
    steppers_.increaseDuration();
}

void CameraManager::decreaseInterimInterval() {
    steppers_.decreaseInterimInterval();
}

void CameraManager::increaseInterimInterval() {
    steppers_.increaseInterimInterval();
}

void CameraManager::toggleSaveLocationData() {
    steppers_.toggleSaveLocationData();
}

void CameraManager::openSettingsPage() {
    qv::openSettingsPage();
}

void CameraManager::openPrivacyPolicy() {
    qv::openPrivacyPolicy();
}

void CameraManager::openTermsOfUse() {
    qv::openTermsOfUse();
}

void CameraManager::openWebPage(const std::string& address) {
    qv::openWebPage(address);
}

void CameraManager::resumeLiveFrames() {
    overlays_.resumeLiveFrames();
}

} // namespace qv
