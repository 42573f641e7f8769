#pragma once

#include "platform/permissions/PermissionStatus.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/sensors/LocationManager.hpp"

#include <memory>

namespace qv {

class CameraManager;

// The controller's access to the camera, the photo library and the location: the access
// requests of the access screen and the location toggle, the checks at start-up, the
// location manager's delegate, and the photo library's observation with the thumbnail
// of its newest picture (and that picture at full size as the result image).
//
// Statuses are the phone's: limited Photos access counts as granted, as does either location
// grant. A camera or Photos refusal gives cameraNotAllowed, and a request for a refused
// service opens the app's settings page, where the user can change it.
//
// Threads: called on the main queue. Answers to access requests arrive on a queue of the
// permissions and are handed to the main queue; so are library changes, which the library
// reports on its own queue. The location delegate hears on the main queue. Every published
// write is made on the main queue by work that holds the controller weakly.
class CameraAccess {
public:
    explicit CameraAccess(CameraManager& owner);
    ~CameraAccess(); // stops observing the photo library
    CameraAccess(const CameraAccess&) = delete;
    CameraAccess& operator=(const CameraAccess&) = delete;

    // Makes the controller the location manager's delegate, which then hears the location's
    // status once on the main queue. Called once, at start-up, when the controller is shared.
    void start();

    bool cameraAccessGranted() const;
    bool photoLibraryAccessGranted() const;

    void requestCameraAccess();
    void requestPhotoLibraryAccess();
    void requestLocationAccess();
    void checkLocationAuthorization();
    void checkPhotoLibraryAuthorization();
    // The newest picture's thumbnail (100 x 100, aspect fill) as libraryThumbnail and the
    // picture at full size as resultUIImage; each delivery replaces the one before. Nothing
    // while shooting, before the library was fetched, or for an empty library.
    void loadLibraryThumbnail();

    // Set by the location toggle when it asks for access: a grant that follows switches
    // "saveLocationData" on. Main queue.
    bool changeGSP = false;

private:
    class Listener;
    void locationManagerDidChangeAuthorization(platform::LocationManager& manager);
    void photoLibraryDidChange(const platform::PhotoLibraryChange& change); // main queue
    // For a status that is neither granted nor undetermined: the app's settings page.
    void openSettingsPage();

    CameraManager& camera;
    // The controller's face to the location manager and the photo library, which hold it
    // weakly; it reaches the controller weakly too.
    std::shared_ptr<Listener> listener_;
};

} // namespace qv
