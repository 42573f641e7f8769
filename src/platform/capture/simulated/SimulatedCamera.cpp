#include "platform/capture/simulated/SimulatedCamera.hpp"

#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/CameraProfileJson.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/QuotedText.hpp"

namespace qv::platform {

namespace {

// What a fault does: strict for a value the user typed (nothing is made), else one line and
// the default.
struct Faults {
    bool strict = false;
    std::string error; // the first fault, when strict
};

std::shared_ptr<const Scene> sceneFor(const std::string& text, const CameraProfile& profile,
                                      double latitude, Faults& faults) {
    std::string error;
    std::optional<CameraSource> source = CameraSource::parse(text, error);
    if (!source) {
        print(error + "; seed 1 applies");
        source = CameraSource{};
    }
    if (source->folder) {
        PixelDimensions size =
            profile.cameras.empty() ? PixelDimensions{} : profile.cameras.front().photoSize;
        std::string problem;
        auto frames = RecordedFrames::open(*source->folder, size, problem);
        if (!frames) {
            const std::string line =
                "camera source " + quotedPath(*source->folder) + ": " + problem;
            if (faults.strict) {
                faults.error = line;
            } else {
                print(line + "; no camera");
            }
        }
        return frames;
    }
    SyntheticSceneOptions options;
    options.latitude = latitude;
    if (source->seed) {
        options.seed = *source->seed;
    }
    return std::make_shared<SyntheticNightScene>(options);
}

CameraProfile profileFor(const std::optional<std::string>& file, Faults& faults) {
    if (!file) {
        return CameraProfile::builtIn();
    }
    if (!faults.strict) {
        return loadCameraProfile(*file);
    }
    auto read = readCameraProfile(*file);
    if (auto* problem = std::get_if<std::string>(&read)) {
        faults.error = *problem;
        return CameraProfile::builtIn();
    }
    return std::get<CameraProfile>(std::move(read));
}

} // namespace

std::optional<SimulatedCamera> SimulatedCamera::make(const SimulatedCameraOptions& given,
                                                     bool strict, std::string& error) {
    const SimulatedCameraOptions options = given.withEnvironment();
    SimulatedCamera camera;
    // Only what `given` holds itself is strict: the environment's values have their defaults.
    Faults profileFaults{strict && given.profile.has_value(), {}};
    camera.profile_ = profileFor(options.profile, profileFaults);
    if (!profileFaults.error.empty()) {
        error = "--camera-profile: " + profileFaults.error;
        return std::nullopt;
    }
    double latitude = options.latitude.value_or(45);
    if (!(latitude >= -90 && latitude <= 90)) {
        print("camera latitude " + describe(latitude) + " is not from -90 to 90; 45 applies");
        latitude = 45;
    }
    Faults sourceFaults{strict && given.source.has_value(), {}};
    camera.scene_ =
        sceneFor(options.source.value_or("synthetic"), camera.profile_, latitude, sourceFaults);
    if (!sourceFaults.error.empty()) {
        error = "--camera-source: " + sourceFaults.error;
        return std::nullopt;
    }
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

SimulatedCamera SimulatedCamera::make(const SimulatedCameraOptions& options) {
    std::string ignored;
    return *make(options, false, ignored);
}

std::optional<SimulatedCamera> SimulatedCamera::makeChecked(const SimulatedCameraOptions& options,
                                                            std::string& error) {
    return make(options, true, error);
}

} // namespace qv::platform
