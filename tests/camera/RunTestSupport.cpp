#include "RunTestSupport.hpp"

#include "model/ValueSeries.hpp"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>

namespace qv::testing {

namespace fs = std::filesystem;
using platform::MediaTime;

Camera smallPhotoCamera(double longestExposure, platform::CaptureDeviceType kind) {
    const Camera camera = makeCamera(kind);
    auto state = camera->state();
    for (auto* format : {&state.activeFormat, &state.formats.front()}) {
        format->photoDimensions = {64, 48};
        format->previewDimensions = {64, 48};
        format->videoDimensions = {64, 48};
        format->maxExposureDuration = MediaTime::fromSeconds(longestExposure);
    }
    camera->setState(state);
    return camera;
}

RunTest::RunTest() {
    ::tzset();
    install({smallPhotoCamera()});
}

RunTest::~RunTest() {
    camera.reset();
    dispatch.runUntilIdle();
}

std::shared_ptr<CameraManager> RunTest::startCamera() {
    camera.reset(); // a controller made before goes before the services it used
    pump();
    permissions = std::make_unique<platform::Permissions>(
        home / "permissions.json",
        platform::PermissionOptions{"camera=authorized,photos=authorized,location=whenInUse"});
    library = std::make_unique<platform::PhotoLibrary>(home / "Photos", *permissions);
    CameraServices services{.defaults = settingsStore->store(),
                            .device = phone,
                            .permissions = *permissions,
                            .photoLibrary = *library,
                            .folders = folders,
                            .location = {location},
                            .previewImageModel = previews};
    camera = CameraManager::make(services);
    pump();
    return camera;
}

void RunTest::useManualExposure(double seconds, float iso) {
    camera->isManualExposure = true;
    const auto limits = camera->currentsExposureLimits.get();
    camera->selectedShutterSpeedIndex = std::int64_t(QVPhotoMath::closestShutterSpeedIndex(
        seconds, limits.minShutterSpeed().seconds(), limits.maxShutterSpeed().seconds()));
    camera->selectedISOIndex =
        std::int64_t(QVPhotoMath::isoIndex(iso, limits.minISO(), limits.maxISO()));
    pump();
}

void RunTest::plan(std::int64_t durationIndex, SupportedImageFormat format,
                   std::int64_t interimIndex) {
    camera->exposureSequence->setSelectedDurationIndex(durationIndex);
    camera->exposureSequence->setSelectedInterimIntervalIndex(interimIndex);
    camera->settings.fileFormat = format;
    camera->settings.shutterReleaseDelay = Delay::off;
}

void RunTest::press() {
    camera->shutterReleasePressed();
    pump();
}

void RunTest::shootBracketWithALateFormatFlip(float ev) {
    camera->exposureSequence->bracketEV = ev;
    plan(3, SupportedImageFormat::RAW);
    press();
    ASSERT_TRUE(dispatch.runUntil(
        [&] {
            return camera->cameraState.get() == CameraState::shooting &&
                   !camera->isShootingWithTimeLeft();
        },
        platform::Seconds(10)));
    camera->settings.fileFormat = SupportedImageFormat::JPEG;
    wait(5);
}

void RunTest::wait(double seconds) {
    dispatch.runFor(platform::Seconds(seconds));
}

std::vector<fs::path> RunTest::documents() const {
    std::vector<fs::path> files;
    if (fs::exists(home / "Documents")) {
        for (const auto& entry : fs::directory_iterator(home / "Documents")) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> RunTest::documentNames() const {
    std::vector<std::string> names;
    for (const auto& file : documents()) {
        names.push_back(file.filename().string());
    }
    return names;
}

std::size_t RunTest::assetCount() const {
    return library->fetchAssets().count();
}

std::size_t RunTest::endSounds() const {
    const auto played = sounds.sounds();
    return std::size_t(std::count(played.begin(), played.end(), platform::kShutterSound));
}

std::size_t RunTest::printed(const std::string& text) const {
    const std::string all = console();
    std::size_t count = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
        ++count;
    }
    return count;
}

platform::imaging::FileData readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace qv::testing
