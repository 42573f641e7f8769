#include "camera/CameraAccess.hpp"

#include "camera/CameraManager.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/ImageManager.hpp"

namespace qv {

using platform::PermissionService;
using platform::PermissionStatus;

// Hears the location manager and the photo library for the controller, which it holds
// weakly: both hold their delegate or observer weakly, so the room keeps this alive.
class CameraAccess::Listener final : public platform::LocationManagerDelegate,
                                     public platform::PhotoLibraryChangeObserver {
public:
    explicit Listener(std::weak_ptr<CameraManager> camera) : camera_(std::move(camera)) {}

    void locationManagerDidChangeAuthorization(platform::LocationManager& manager) override {
        if (const auto owner = camera_.lock()) {
            owner->access_.locationManagerDidChangeAuthorization(manager);
        }
    }

    // Heard on the library's queue; allPhotos and the thumbnail belong to the main queue.
    void photoLibraryDidChange(const platform::PhotoLibraryChange& change) override {
        platform::DispatchQueue::main().async([camera = camera_, change] {
            if (const auto self = camera.lock()) {
                self->access_.photoLibraryDidChange(change);
            }
        });
    }

private:
    std::weak_ptr<CameraManager> camera_;
};

CameraAccess::CameraAccess(CameraManager& owner) : camera(owner) {}

CameraAccess::~CameraAccess() {
    if (listener_) {
        camera.services_.photoLibrary.unregisterChangeObserver(listener_.get());
    }
}

void CameraAccess::start() {
    listener_ = std::make_shared<Listener>(camera.weak_from_this());
    camera.locationManager.setDelegate(listener_);
}

bool CameraAccess::cameraAccessGranted() const {
    return camera.services_.permissions.status(PermissionService::camera) ==
           PermissionStatus::authorized;
}

bool CameraAccess::photoLibraryAccessGranted() const {
    return platform::isGranted(camera.services_.photoLibrary.authorizationStatus());
}

void CameraAccess::requestCameraAccess() {
    auto& permissions = camera.services_.permissions;
    if (permissions.status(PermissionService::camera) != PermissionStatus::notDetermined) {
        openSettingsPage();
        return;
    }
    permissions.request(
        PermissionService::camera,
        camera.onMainWith<PermissionStatus>([](CameraManager& owner, PermissionStatus status) {
            if (status != PermissionStatus::authorized) {
                owner.cameraState = CameraState::cameraNotAllowed;
                return;
            }
            // As at start-up: the session first, then the flag that shows the camera.
            owner.configureSession();
            owner.isCameraAuthorized = true;
            if (owner.services_.photoLibrary.authorizationStatus() ==
                PermissionStatus::notDetermined) {
                owner.access_.requestPhotoLibraryAccess();
            }
        }));
}

void CameraAccess::requestPhotoLibraryAccess() {
    auto& library = camera.services_.photoLibrary;
    const PermissionStatus status = library.authorizationStatus();
    if (platform::isGranted(status)) {
        camera.onMain([](CameraManager& self) { self.isPhotoLibraryAuthorized = true; });
        return;
    }
    if (status != PermissionStatus::notDetermined) {
        openSettingsPage();
        return;
    }
    library.requestAuthorization(camera.onMainWith<PermissionStatus>([](CameraManager& owner,
                                                                        PermissionStatus answer) {
        if (platform::isGranted(answer)) {
            owner.isPhotoLibraryAuthorized = true;
            owner.access_.checkPhotoLibraryAuthorization();
        } else if (answer == PermissionStatus::restricted || answer == PermissionStatus::denied) {
            owner.cameraState = CameraState::cameraNotAllowed;
        }
    }));
}

void CameraAccess::requestLocationAccess() {
    const PermissionStatus status = camera.locationManager.authorizationStatus();
    if (platform::isGranted(status)) {
        camera.onMain([](CameraManager& self) { self.isGPSAuthorized = true; });
    } else if (status == PermissionStatus::notDetermined) {
        camera.locationManager.requestWhenInUseAuthorization(); // the answer reaches the delegate
    } else {
        openSettingsPage();
    }
}

void CameraAccess::checkLocationAuthorization() {
    if (platform::isGranted(camera.locationManager.authorizationStatus())) {
        camera.onMain([](CameraManager& self) { self.isGPSAuthorized = true; });
    }
}

void CameraAccess::checkPhotoLibraryAuthorization() {
    auto& library = camera.services_.photoLibrary;
    if (!platform::isGranted(library.authorizationStatus())) {
        camera.cameraState = CameraState::cameraNotAllowed;
        return;
    }
    camera.onMain([](CameraManager& self) { self.isPhotoLibraryAuthorized = true; });
    library.registerChangeObserver(listener_); // held once, however often registered
    camera.photoLibraryManager.fetchAllPhotos();
    loadLibraryThumbnail();
}

void CameraAccess::loadLibraryThumbnail() {
    const auto& photos = camera.photoLibraryManager.allPhotos.get();
    const auto newest = photos ? photos->firstObject() : std::nullopt;
    if (!newest || camera.cameraState.get() == CameraState::shooting) {
        return;
    }
    // The image manager answers on the main queue, a quick picture first, then the final one;
    // each replaces what is shown.
    using Image = CameraManager::ImagePointer;
    const auto publishInto = [weak = camera.weak_from_this()](auto property) {
        return [weak, property](const std::optional<platform::RgbaImage>& image,
                                const platform::ImageResultInfo&) {
            if (const auto self = weak.lock(); self && image) {
                property(*self) = std::make_shared<const platform::RgbaImage>(*image);
            }
        };
    };
    auto& images = camera.imageManager_;
    images.requestImage(*newest, {100, 100}, platform::ImageContentMode::aspectFill,
                        publishInto([](CameraManager& self) -> platform::Published<Image>& {
                            return self.libraryThumbnail;
                        }));
    images.requestImage(*newest, {double(newest->pixelWidth), double(newest->pixelHeight)},
                        platform::ImageContentMode::aspectFill,
                        publishInto([](CameraManager& self) -> platform::Published<Image>& {
                            return self.resultUIImage;
                        }));
}

void CameraAccess::locationManagerDidChangeAuthorization(platform::LocationManager& manager) {
    if (!platform::isGranted(manager.authorizationStatus())) {
        camera.onMain([](CameraManager& self) { self.isGPSAuthorized = false; });
        return;
    }
    checkLocationAuthorization();
    // The status just read decides, not isGPSAuthorized, whose write is still queued: so the
    // first grant of a launch gets its heading too.
    manager.setDesiredAccuracy(platform::kLocationAccuracyBest);
    manager.startUpdatingHeading();
    camera.onMain([](CameraManager& self) {
        if (self.access_.changeGSP) {
            self.settings.shouldSaveLocationData = true;
            self.access_.changeGSP = false;
        }
    });
}

void CameraAccess::photoLibraryDidChange(const platform::PhotoLibraryChange& change) {
    auto& allPhotos = camera.photoLibraryManager.allPhotos;
    if (!allPhotos.get()) {
        return;
    }
    auto details = change.changeDetails(*allPhotos.get());
    if (!details) {
        return;
    }
    allPhotos = std::move(details->fetchResultAfterChanges);
    loadLibraryThumbnail();
}

void CameraAccess::openSettingsPage() {
    camera.openSettingsPage();
}

} // namespace qv
