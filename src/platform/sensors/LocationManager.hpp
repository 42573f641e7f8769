#pragma once
// The location and heading: a configured fix (--location or QV_LOCATION, none by
// default), reported only while the user allows the location, and the heading only while
// heading updates run.
//
// Threads: make, configure and call it on the main queue; the delegate hears on the main
// queue.

#include "platform/permissions/PermissionStatus.hpp"
#include "platform/sensors/ConfiguredLocation.hpp"
#include "platform/sensors/Location.hpp"
#include "platform/state/Signal.hpp"

#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

class LocationManager;
class Permissions;

class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;
    virtual void locationManagerDidChangeAuthorization(LocationManager& manager) = 0;
};

struct LocationOptions {
    // The --location value; without one QV_LOCATION is read. A malformed value prints one
    // line and counts as none.
    std::optional<std::string> location;
};

// The best accuracy a caller can ask for.
inline constexpr double kLocationAccuracyBest = -1;

class LocationManager {
public:
    // The app's permissions and the options given to configure() before (the command line).
    LocationManager();
    LocationManager(Permissions& permissions, const LocationOptions& options);
    ~LocationManager();
    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

    static void configure(LocationOptions options);

    // Held weakly. Its authorization callback runs once on the main queue after it is set
    // (as the phone calls it once the manager is made) and after each change of the status.
    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate);

    PermissionStatus authorizationStatus() const;
    // Asks the user (the answer reaches the delegate as a change).
    void requestWhenInUseAuthorization();

    void setDesiredAccuracy(double metres) { desiredAccuracy_ = metres; }
    double desiredAccuracy() const { return desiredAccuracy_; }

    void startUpdatingHeading() { updatingHeading_ = true; }
    void stopUpdatingHeading() { updatingHeading_ = false; }

    // The configured fix, stamped now, while the location is allowed (always or when in
    // use); nothing otherwise or when none is configured.
    std::optional<Location> location() const;
    // The configured heading while heading updates run; nothing otherwise.
    std::optional<Heading> heading() const;

private:
    void tellDelegate();

    Permissions& permissions_;
    std::optional<ConfiguredLocation> fix_;
    std::weak_ptr<LocationManagerDelegate> delegate_;
    double desiredAccuracy_ = 100;
    bool updatingHeading_ = false;
    // Lets queued main-queue calls know the manager is still there.
    std::shared_ptr<LocationManager*> self_ = std::make_shared<LocationManager*>(this);
    Subscription permissionChanges_;
};

} // namespace qv::platform
