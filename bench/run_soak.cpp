// The camera's run over a whole day, on the virtual clock: 24 hours (the longest run) of
// 1 s frames, small ones (64 x 48, from an in-memory camera, so the scene's rendering does
// not set the pace), with an intermediate every hour and previews while shooting. It prints the
// resident memory, the dispatch work waiting and the open files after the first hour, every few
// hours and at the end; all three stay flat when nothing leaks. Not a test: run it by hand (a few
// minutes).
//
//   run_soak              the soak, in a temporary folder that is removed afterwards
//   run_soak --demo DIR   one short run per mode on the simulated camera's night scene
//                         (averaging, light trails with their average, star trails, night,
//                         a RAW bracket, a JPEG and a TIFF run), in DIR/Documents and
//                         DIR/Photos, for a person to open

#include "BenchSupport.hpp"
#include "camera/CameraManager.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/store/UserDefaults.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using namespace qv;

using Devices = std::vector<std::shared_ptr<platform::CaptureDevice>>;

// An in-memory wide camera with 64 x 48 photos of a flat grey.
Devices smallCamera() {
    platform::CaptureDeviceState state;
    for (auto* format : {&state.activeFormat, &state.formats.front()}) {
        format->photoDimensions = {64, 48};
        format->previewDimensions = {64, 48};
        format->videoDimensions = {64, 48};
    }
    return {std::make_shared<platform::InMemoryCaptureDevice>(state)};
}

// The simulated phone's wide camera, photos of 1008 x 756, seeing the night scene.
Devices simulatedCamera(const fs::path& root, std::optional<platform::SimulatedCamera>& keep) {
    // Written whole by rename: whatever lay at the name (a FIFO, say) is replaced, not opened.
    platform::writeFileAtomically(
        root / "profile.json",
        R"({"cameras": [{"type": "wide", "photoSize": [1008, 756], "previewSize": [64, 48],)"
        R"( "videoSize": [64, 48]}]})");
    platform::SimulatedCameraOptions options;
    options.source = "synthetic:3";
    options.profile = (root / "profile.json").string();
    keep.emplace(platform::SimulatedCamera::make(options));
    return keep->devices();
}

std::size_t openFiles() {
    std::size_t count = 0;
    std::error_code error;
    for (fs::directory_iterator entry("/proc/self/fd", error);
         !error && entry != fs::directory_iterator(); entry.increment(error)) {
        ++count;
    }
    return count;
}

// A phone with these cameras, its library and folders under `root`, on the clock of
// `dispatch`.
class Phone {
public:
    Phone(const fs::path& root, platform::VirtualDispatch& dispatch,
          const std::function<Devices(const fs::path&, std::optional<platform::SimulatedCamera>&)>&
              cameras)
        : dispatch_(dispatch) {
        installation_.emplace(platform::CaptureDeviceDiscovery::install(cameras(root, simulated_)));
        defaults_ = std::make_unique<platform::UserDefaults>(root / "settings.json");
        permissions_ = std::make_unique<platform::Permissions>(
            root / "permissions.json",
            platform::PermissionOptions{"camera=authorized,photos=authorized"});
        library_ = std::make_unique<platform::PhotoLibrary>(root / "Photos", *permissions_);
        camera = CameraManager::make({.defaults = *defaults_,
                                      .permissions = *permissions_,
                                      .photoLibrary = *library_,
                                      .folders = platform::AppFolders::under(root),
                                      .previewImageModel = PreviewImageModel::make()});
        dispatch.runFor(platform::Seconds(1));
        camera->settings.shutterReleaseDelay = Delay::off;
    }
    ~Phone() {
        camera.reset();
        dispatch_.runUntilIdle();
    }

    // Manual exposure at the camera's longest shutter speed (1 s): a position past the end
    // of the list reads its last entry.
    void longestManualExposure() {
        camera->isManualExposure = true;
        camera->selectedShutterSpeedIndex = std::numeric_limits<std::int64_t>::max();
        dispatch_.runUntilIdle();
    }
    // Shoots one run and waits until the camera is ready again.
    void shoot(double longest) {
        camera->shutterReleasePressed();
        dispatch_.runUntil([&] { return camera->cameraState.get() == CameraState::shooting; },
                           platform::Seconds(10));
        dispatch_.runUntil([&] { return camera->cameraState.get() == CameraState::ready; },
                           platform::Seconds(longest));
        dispatch_.runFor(platform::Seconds(1)); // the finish's last steps
    }
    std::size_t assets() const { return library_->fetchAssets().count(); }

    std::shared_ptr<CameraManager> camera;

private:
    platform::VirtualDispatch& dispatch_;
    std::optional<platform::SimulatedCamera> simulated_;
    std::optional<platform::CaptureDeviceDiscovery::Installation> installation_;
    std::unique_ptr<platform::UserDefaults> defaults_;
    std::unique_ptr<platform::Permissions> permissions_;
    std::unique_ptr<platform::PhotoLibrary> library_;
    platform::SoundRecorder silence_; // the end-of-run sound is not played
};

int soak() {
    char pattern[] = "/tmp/qv-run-soak-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::cerr << "run_soak: no temporary folder: " << std::strerror(errno) << "\n";
        return 1;
    }
    const fs::path root = pattern;
    std::size_t lines = 0;
    const auto previous = platform::setConsoleSink([&](std::string_view) { ++lines; });
    {
        platform::VirtualDispatch dispatch;
        Phone phone(root, dispatch, [](const fs::path&, auto&) { return smallCamera(); });
        auto& camera = *phone.camera;
        phone.longestManualExposure();
        camera.exposureSequence->setSelectedDurationIndex(63);        // 24 h
        camera.exposureSequence->setSelectedInterimIntervalIndex(12); // every hour
        camera.settings.fileFormat = SupportedImageFormat::RAW;
        camera.settings.showImagePreviewWhileShooting = true;
        camera.shutterReleasePressed();

        const auto report = [&](int hour) {
            std::cout << "after " << hour << " h: resident " << bench::residentBytes() / 1024
                      << " KiB, pending dispatch work " << dispatch.pendingCount()
                      << ", open files " << openFiles() << ", frames "
                      << camera.lastProgressFrameNumber.get() << ", files saved " << phone.assets()
                      << ", console lines " << lines << std::endl;
        };
        for (int hour = 1; hour <= 24; ++hour) {
            dispatch.runFor(platform::Seconds(3600));
            if (hour == 1 || hour % 6 == 0) {
                report(hour);
            }
        }
        dispatch.runFor(platform::Seconds(60)); // the finish
        std::cout << "finished: state ready " << (camera.cameraState.get() == CameraState::ready)
                  << ", files saved " << phone.assets() << " (23 intermediates and the result)"
                  << std::endl;
        report(24);
    }
    platform::setConsoleSink(previous);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}

int demo(const fs::path& root) {
    const auto previous = platform::setConsoleSink([](std::string_view) {});
    {
        platform::VirtualDispatch dispatch;
        Phone phone(root, dispatch, simulatedCamera);
        auto& camera = *phone.camera;
        auto& sequence = *camera.exposureSequence;
        const auto run = [&](SequenceMode mode, SupportedImageFormat format, std::int64_t index) {
            camera.sequenceMode = mode;
            camera.settings.fileFormat = format;
            sequence.setSelectedDurationIndex(index);
            phone.shoot(600);
        };
        phone.longestManualExposure();
        camera.settings.saveFAwithLT = true;
        run(SequenceMode::frameAveraging, SupportedImageFormat::RAW, 10);
        run(SequenceMode::lightTrails, SupportedImageFormat::RAW, 12);
        run(SequenceMode::starTrails, SupportedImageFormat::JPEG, 14);
        run(SequenceMode::frameAveraging, SupportedImageFormat::TIFF, 10);
        camera.selectedNightModeShutterSpeedIndex = 9; // 10 s
        run(SequenceMode::nightMode, SupportedImageFormat::RAW, 1);
        camera.isManualExposure = false;
        dispatch.runFor(platform::Seconds(5));
        sequence.bracketEV = 2;
        run(SequenceMode::frameAveraging, SupportedImageFormat::RAW, 5);
        std::cout << phone.assets() << " pictures in " << (root / "Documents").string()
                  << " and the photo library in " << (root / "Photos").string() << std::endl;
    }
    platform::setConsoleSink(previous);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view usage = "usage: run_soak [--demo DIR]\n";
    if (argc == 1) {
        return soak();
    }
    if (argc == 3 && std::string_view(argv[1]) == "--demo") {
        // The folder is made here, so that one that cannot be (a file in its place, a folder
        // that cannot be written) is one line and status 1 instead of an exception.
        const fs::path root = argv[2];
        std::error_code error;
        fs::create_directories(root, error);
        if (error) {
            std::cerr << "run_soak: the demo folder " << platform::quotedPath(root)
                      << " cannot be made: " << error.message() << "\n";
            return 1;
        }
        return demo(root);
    }
    std::cerr << usage;
    return 2;
}
