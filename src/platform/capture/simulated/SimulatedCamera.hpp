#pragma once

#include "platform/capture/CaptureDevice.hpp"
#include "platform/capture/scene/Scene.hpp"
#include "platform/capture/simulated/CameraProfile.hpp"
#include "platform/capture/simulated/SimulatedCameraOptions.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

// The simulated phone's cameras: one device per camera of the profile, all seeing one scene.
// The app makes it at start-up and installs its devices for discovery:
//   auto camera = SimulatedCamera::make(options);
//   auto installation = CaptureDeviceDiscovery::install(camera.devices(), camera.whyNoCamera());
class SimulatedCamera {
public:
    // The cameras the options describe (environment filled in). Every fault is one console
    // line: a bad profile (the built-in one applies), a bad seed (seed 1 applies), a folder
    // without a usable frame (then the phone has no camera).
    static SimulatedCamera make(const SimulatedCameraOptions& options);
    // The same, for values the user typed (the command line): a source or profile set in
    // `options` itself (not taken from the environment) that names a missing or unusable file
    // or folder makes nothing, and `error` says why in one line ("--camera-profile: camera
    // profile '/p.json': does not exist"). Other faults are printed as by make().
    static std::optional<SimulatedCamera> makeChecked(const SimulatedCameraOptions& options,
                                                      std::string& error);

    const std::vector<std::shared_ptr<CaptureDevice>>& devices() const { return devices_; }
    const CameraProfile& profile() const { return profile_; }
    const std::shared_ptr<const Scene>& scene() const { return scene_; }
    // Why there is no device, in one short sentence for the screen ("No usable recorded frame
    // of 4032x3024."); empty when there are devices or the profile has no camera.
    const std::string& whyNoCamera() const { return whyNoCamera_; }

private:
    static std::optional<SimulatedCamera> make(const SimulatedCameraOptions& options, bool strict,
                                               std::string& error);

    CameraProfile profile_;
    std::shared_ptr<const Scene> scene_;
    std::vector<std::shared_ptr<CaptureDevice>> devices_;
    std::string whyNoCamera_;
};

} // namespace qv::platform
