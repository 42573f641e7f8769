#include "platform/capture/simulated/SimulatedCamera.hpp"

#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/CameraProfileJson.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/console/Console.hpp"

#include <charconv>

namespace qv::platform {

namespace {

constexpr std::string_view synthetic = "synthetic";

std::shared_ptr<const Scene> sceneFor(const std::string& source, const CameraProfile& profile,
                                      double latitude) {
    if (source == synthetic || source.starts_with(std::string(synthetic) + ":")) {
        SyntheticSceneOptions options;
        options.latitude = latitude;
        if (source.size() > synthetic.size()) {
            const std::string_view digits = std::string_view(source).substr(synthetic.size() + 1);
            std::uint32_t seed = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), seed);
            if (error != std::errc() || end != digits.data() + digits.size()) {
                print("camera source " + source + ": the seed is not a whole number from 0 to " +
                      describe(UINT32_MAX) + "; seed 1 applies");
            } else {
                options.seed = seed;
            }
        }
        return std::make_shared<SyntheticNightScene>(options);
    }
    PixelDimensions size =
        profile.cameras.empty() ? PixelDimensions{} : profile.cameras.front().photoSize;
    return RecordedFrames::open(source, size);
}

} // namespace

SimulatedCamera SimulatedCamera::make(const SimulatedCameraOptions& given) {
    const SimulatedCameraOptions options = given.withEnvironment();
    SimulatedCamera camera;
    camera.profile_ =
        options.profile ? loadCameraProfile(*options.profile) : CameraProfile::builtIn();
    double latitude = options.latitude.value_or(45);
    if (!(latitude >= -90 && latitude <= 90)) {
        print("camera latitude " + describe(latitude) + " is not from -90 to 90; 45 applies");
        latitude = 45;
    }
    camera.scene_ =
        sceneFor(options.source.value_or(std::string(synthetic)), camera.profile_, latitude);
    if (!camera.scene_) {
        return camera; // the source has no usable frame: the phone has no camera
    }
    for (const SimulatedCameraSpec& spec : camera.profile_.cameras) {
        camera.devices_.push_back(
            std::make_shared<SimulatedCaptureDevice>(spec, camera.profile_, camera.scene_));
    }
    return camera;
}

} // namespace qv::platform
