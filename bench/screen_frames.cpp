// Frames of the camera screen at the phone's 3x scale into a reused frame buffer:
// - the live preview of the simulated camera with the spirit level and the badges over
//   it, rebuilt as the level's angles arrive 50 times a second while the phone moves
//   (the camera's own rendering of its frames, on the virtual clock, is left out), drawn
//   whole, and drawn as the window draws it: only what changed (the share of the frame's
//   pixels drawn is the counter "drawn");
// - the result cover with a 4032 x 3024 result, rebuilt and drawn again.
// Each is timed after its first frame (fonts, the picture's conversion and reduction).
// Goal: every frame within 16 ms, also on two CPUs (taskset -c 0,1).
#include "BenchSupport.hpp"
#include "camera/CameraManager.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/overlays/BadgeRowView.hpp"
#include "screen/overlays/CameraPreviewView.hpp"
#include "screen/overlays/ResultCoverView.hpp"
#include "screen/overlays/SpiritLevelView.hpp"

#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <optional>

namespace {

using namespace qv;
using namespace qv::platform::ui;
namespace fs = std::filesystem;

constexpr int kWidth = 390 * 3, kHeight = 844 * 3;
constexpr double kUnit = 390.0 / 31;

SceneOptions phoneScene() {
    SceneOptions options;
    options.safeAreaInsets = {47, 0, 34, 0};
    options.scale = 3;
    return options;
}

// The app's controller on the simulated phone (the built-in cameras, 1440 x 1080 live
// frames), on a virtual clock, with its files in a folder of its own.
struct SimulatedPhone {
    SimulatedPhone()
        : home([] {
              char pattern[] = "/tmp/qv-screen-bench-XXXXXX";
              return fs::path(::mkdtemp(pattern));
          }()),
          settings(std::make_unique<platform::UserDefaults>(home / "settings.json")),
          permissions(home / "permissions.json",
                      platform::PermissionOptions{"camera=authorized,photos=authorized"}),
          library(home / "Photos", permissions), camera(platform::SimulatedCamera::make({})),
          installation(platform::CaptureDeviceDiscovery::install(camera.devices())) {
        controller = CameraManager::make({.defaults = settings.store(),
                                          .device = device,
                                          .permissions = permissions,
                                          .photoLibrary = library,
                                          .folders = platform::AppFolders::under(home)});
        dispatch.runUntilIdle();
    }
    ~SimulatedPhone() {
        controller.reset();
        dispatch.runUntilIdle();
        fs::remove_all(home);
    }

    fs::path home;
    platform::VirtualDispatch dispatch;
    platform::StandardDefaultsOverride settings;
    platform::Device device;
    platform::Permissions permissions;
    platform::PhotoLibrary library;
    platform::SimulatedCamera camera;
    platform::CaptureDeviceDiscovery::Installation installation;
    std::shared_ptr<CameraManager> controller;
};

// The preview region as the camera screen builds it from the controller.
struct PreviewScreen {
    ObservedObject<CameraManager> camera;
    View body() const {
        CameraManager& c = camera.get();
        return ZStack(
            {View(Color::black()).ignoresSafeArea(),
             VStack({ZStack({CameraPreviewView{c.cameraPreviewLayer.get()},
                             SpiritLevelView{c.levelAngle(), c.angleXY.get(), c.angleXZ.get(),
                                             c.angleYZ.get(), c.deviceOrientation.get()},
                             BadgeRowView{c.sequenceMode.get(), c.settings.fileFormat.get(),
                                          c.availableCameras().size(), kUnit, [] {}, [] {}}})
                         .frame(390, 520),
                     Spacer()},
                    HorizontalAlignment::center, 0)});
    }
};

// The preview with the level on the phone, which sways a little between frames: new
// angles, a new level drawing at every frame.
struct SwayingPreview {
    SwayingPreview() {
        phone.controller->toggleSpiritLevel();
        graph.update();
    }
    // Moves the phone and lets 20 ms pass (not timed).
    void sway(benchmark::State& state) {
        state.PauseTiming();
        ++step;
        phone.device.tilt(3 * std::sin(step * 0.05), 10 * std::sin(step * 0.03));
        phone.dispatch.runFor(platform::Seconds(0.02));
        state.ResumeTiming();
    }

    SimulatedPhone phone;
    ViewGraph graph{[this] { return View(PreviewScreen{*phone.controller}); }, phoneScene()};
    std::vector<std::uint32_t> frame = std::vector<std::uint32_t>(std::size_t(kWidth) * kHeight);
    int step = 0;
};

void BM_PreviewWithLevelFrame(benchmark::State& state) {
    SwayingPreview preview;
    preview.graph.renderInto(preview.frame.data(), kWidth, kHeight, kWidth * 4);
    int rebuilt = 0;
    for (auto _ : state) {
        preview.sway(state);
        rebuilt += preview.graph.update() ? 1 : 0;
        preview.graph.renderInto(preview.frame.data(), kWidth, kHeight, kWidth * 4);
        benchmark::DoNotOptimize(preview.frame.data());
    }
    state.counters["rebuilt"] = benchmark::Counter(rebuilt, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PreviewWithLevelFrame)->Unit(benchmark::kMillisecond);

// The same frames as the window draws them: into the frame it kept, only what changed (the
// level's drawing; the preview's own frames are prepared off the main thread and left out).
void BM_PreviewWithLevelChanges(benchmark::State& state) {
    SwayingPreview preview;
    auto& frame = preview.frame;
    preview.graph.renderChanges(frame.data(), kWidth, kHeight, kWidth * 4, true);
    double drawn = 0;
    for (auto _ : state) {
        preview.sway(state);
        preview.graph.update();
        for (const PixelRect& r :
             preview.graph.renderChanges(frame.data(), kWidth, kHeight, kWidth * 4, false)) {
            drawn += double(r.width) * r.height;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["drawn"] =
        benchmark::Counter(drawn / (double(kWidth) * kHeight), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PreviewWithLevelChanges)->Unit(benchmark::kMillisecond);

void BM_ResultCoverFrame(benchmark::State& state) {
    platform::VirtualDispatch dispatch;
    const auto picture = qv::bench::gradientPicture(4032, 3024);
    ViewGraph graph(
        [&] {
            return View(
                ResultCoverView{picture, platform::DeviceOrientation::portrait, kUnit, [] {}});
        },
        phoneScene());
    std::vector<std::uint32_t> frame(std::size_t(kWidth) * kHeight);
    graph.update();
    graph.renderInto(frame.data(), kWidth, kHeight, kWidth * 4);
    for (auto _ : state) {
        graph.invalidate();
        graph.update();
        graph.renderInto(frame.data(), kWidth, kHeight, kWidth * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_ResultCoverFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
