#pragma once

#include <optional>
#include <string_view>

namespace qv::platform {

// The services the app asks the user for.
enum class PermissionService { camera, photos, location };

// Where a service's access stands. Each service knows some of these: the camera
// notDetermined to authorized, the photo library also limited, the location always and
// whenInUse instead of authorized.
enum class PermissionStatus {
    notDetermined,
    restricted,
    denied,
    authorized,
    limited,
    always,
    whenInUse
};

// The phone's number for a status: notDetermined 0, restricted 1, denied 2, authorized and
// always 3, limited and whenInUse 4.
int rawValue(PermissionStatus status);
// authorized, limited, always and whenInUse.
bool isGranted(PermissionStatus status);
// Whether `service` knows `status`.
bool isValid(PermissionService service, PermissionStatus status);

// "camera", "photos", "location"; and the statuses by their names above.
std::string_view name(PermissionService service);
std::string_view name(PermissionStatus status);
std::optional<PermissionService> serviceNamed(std::string_view name);
std::optional<PermissionStatus> statusNamed(std::string_view name);

} // namespace qv::platform
