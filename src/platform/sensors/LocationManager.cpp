#include "platform/sensors/LocationManager.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/system/OptionValue.hpp"

namespace qv::platform {

namespace {

LocationOptions& configuredOptions() {
    static LocationOptions options;
    return options;
}

std::optional<ConfiguredLocation> fixFrom(const LocationOptions& options) {
    const std::optional<OptionValue> value =
        optionOrEnvironment(options.location, "--location", "QV_LOCATION");
    if (!value) {
        return std::nullopt;
    }
    std::string error;
    std::optional<ConfiguredLocation> fix = ConfiguredLocation::parse(value->text, error);
    if (!fix) {
        print(value->source + " is ignored: " + error + "; there is no location");
    }
    return fix;
}

} // namespace

void LocationManager::configure(LocationOptions options) {
    configuredOptions() = std::move(options);
}

LocationManager::LocationManager() : LocationManager(Permissions::shared(), configuredOptions()) {}

LocationManager::LocationManager(Permissions& permissions, const LocationOptions& options)
    : permissions_(permissions), fix_(fixFrom(options)) {
    permissionChanges_ = permissions_.observe([this](PermissionService service, PermissionStatus) {
        if (service == PermissionService::location) {
            tellDelegate(); // on the main queue already
        }
    });
}

LocationManager::~LocationManager() = default;

void LocationManager::setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) {
    delegate_ = std::move(delegate);
    DispatchQueue::main().async([self = std::weak_ptr<LocationManager*>(self_)] {
        if (const auto alive = self.lock()) {
            (*alive)->tellDelegate();
        }
    });
}

void LocationManager::tellDelegate() {
    if (const auto delegate = delegate_.lock()) {
        delegate->locationManagerDidChangeAuthorization(*this);
    }
}

PermissionStatus LocationManager::authorizationStatus() const {
    return permissions_.status(PermissionService::location);
}

void LocationManager::requestWhenInUseAuthorization() {
    permissions_.request(PermissionService::location, {});
}

std::optional<Location> LocationManager::location() const {
    if (!fix_ || !isGranted(authorizationStatus())) {
        return std::nullopt;
    }
    return Location{fix_->coordinate, fix_->altitude, wallNow()};
}

std::optional<Heading> LocationManager::heading() const {
    if (!updatingHeading_ || !fix_ || !fix_->heading) {
        return std::nullopt;
    }
    return Heading{*fix_->heading};
}

} // namespace qv::platform
