#include "platform/capture/simulated/SimulatedCamera.hpp"

#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/CameraProfileJson.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/console/Console.hpp"

namespace qv::platform {

namespace {

std::shared_ptr<const Scene> sceneFor(const std::string& text, const CameraProfile& profile,
                                      double latitude) {
    std::string error;
    std::optional<CameraSource> source = CameraSource::parse(text, error);
    if (!source) {
        print(error + "; seed 1 applies");
        source = CameraSource{};
    }
    if (source->folder) {
        PixelDimensions size =
            profile.cameras.empty() ? PixelDimensions{} : profile.cameras.front().photoSize;
        return RecordedFrames::open(*source->folder, size);
    }
    SyntheticSceneOptions options;
    options.latitude = latitude;
    if (source->seed) {
        options.seed = *source->seed;
    }
    return std::make_shared<SyntheticNightScene>(options);
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
    camera.scene_ = sceneFor(options.source.value_or("synthetic"), camera.profile_, latitude);
    if (!camera.scene_) {
        // The source has no usable frame (its console lines say which and why): the phone has
        // no camera.
        if (!camera.profile_.cameras.empty()) {
            const PixelDimensions wanted = camera.profile_.cameras.front().photoSize;
            camera.whyNoCamera_ = "No usable recorded frame of " + std::to_string(wanted.width) +
                                  "x" + std::to_string(wanted.height) + ".";
        }
        return camera;
    }
    for (const SimulatedCameraSpec& spec : camera.profile_.cameras) {
        camera.devices_.push_back(
            std::make_shared<SimulatedCaptureDevice>(spec, camera.profile_, camera.scene_));
    }
    return camera;
}

} // namespace qv::platform
