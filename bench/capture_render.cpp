// Rendering simulated camera frames: the synthetic night scene as a 12-megapixel RAW mosaic,
// 'BGRA' and 'l64r' photo, and as 1440x1080 live frames, on every core the process may use
// (run under taskset -c 0,1 for two). Goal: RAW in 50 ms on 8 cores, 150 ms on 2.
//
// Live frames are measured as the camera makes them (LiveFrame: the lights over the scene's
// sky and hills, noise from a table) and as they were made before they had a path of their
// own (LiveFrameAsAPhoto: the photos' renderer at the live size), and from a folder of
// recorded frames (RecordedLiveFrame: the same frame again, as at rest; RecordedLiveFrameNew:
// a new white balance every frame, so each is converted anew). Beside the wall time each reports
// the process's CPU time a frame (every thread of the render pool), the share of a core that
// takes at 10 live frames a second, the rate at rest on the night scene (automatic exposure
// settles at 1/10 s), and at 30, the most the camera makes, and the heap allocations a frame.

#include "AllocationCount.hpp"
#include "BenchSupport.hpp"
#include "platform/capture/scene/RecordedFrames.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/formatting/WallTime.hpp"
#include "platform/imaging/Jpeg.hpp"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <time.h>
#include <unistd.h>

namespace {

using namespace qv::platform;

constexpr std::size_t liveWidth = 1440;
constexpr std::size_t liveHeight = 1080;

FrameExposure nightExposure(double seconds, float iso) {
    FrameExposure exposure;
    exposure.durationSeconds = seconds;
    exposure.iso = iso;
    exposure.lensPosition = 0.9f;
    exposure.wallStart = wallTimeFromSeconds(1704067200.0);
    return exposure;
}

// Renders a frame per iteration, each starting `seconds` after the one before (new noise,
// the lights moved on), with `change` applied to the exposure before each.
template <class Change>
void renderFrames(benchmark::State& state, const Scene& scene, std::size_t width,
                  std::size_t height, FourCharCode format, FramePurpose purpose,
                  FrameExposure exposure, Change change) {
    const SceneCamera camera;
    auto buffer = PixelBuffer::make(width, height, format);
    scene.render(camera, exposure, purpose, *buffer); // the first frame's one-time work
    const auto step = std::chrono::nanoseconds(std::int64_t(exposure.durationSeconds * 1e9));
    const double cpuBefore = qv::bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const std::size_t allocationsBefore = qv::bench::allocationCount();
    for (auto _ : state) {
        exposure.start += step;
        exposure.wallStart += step;
        change(exposure);
        scene.render(camera, exposure, purpose, *buffer);
        benchmark::DoNotOptimize(buffer->baseAddress());
    }
    const double cpuPerFrame =
        (qv::bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore) / double(state.iterations());
    state.counters["cpu_ms"] = cpuPerFrame * 1e3;
    state.counters["allocations"] =
        double(qv::bench::allocationCount() - allocationsBefore) / double(state.iterations());
    if (purpose == FramePurpose::live || width == liveWidth) {
        state.counters["cores_at_10/s"] = cpuPerFrame * 10;
        state.counters["cores_at_30/s"] = cpuPerFrame * 30;
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(width * height));
}

void renderNightScene(benchmark::State& state, std::size_t width, std::size_t height,
                      FourCharCode format, FramePurpose purpose, FrameExposure exposure) {
    const SyntheticNightScene scene;
    renderFrames(state, scene, width, height, format, purpose, exposure, [](FrameExposure&) {});
}

void RawPhoto12MP(benchmark::State& state) {
    renderNightScene(state, 4032, 3024, pixelformat::bayer14RGGB, FramePurpose::photo,
                     nightExposure(1, 1600));
}
void BgraPhoto12MP(benchmark::State& state) {
    renderNightScene(state, 4032, 3024, pixelformat::bgra32, FramePurpose::photo,
                     nightExposure(1, 1600));
}
void LinearPhoto12MP(benchmark::State& state) {
    renderNightScene(state, 4032, 3024, pixelformat::rgba64LE, FramePurpose::photo,
                     nightExposure(1, 1600));
}
// A live frame as at rest: 1/10 s at the ISO that automatic exposure settles on.
void LiveFrame(benchmark::State& state) {
    renderNightScene(state, liveWidth, liveHeight, pixelformat::bgra32, FramePurpose::live,
                     nightExposure(0.1, 3072));
}
void LiveFrameAsAPhoto(benchmark::State& state) {
    renderNightScene(state, liveWidth, liveHeight, pixelformat::bgra32, FramePurpose::photo,
                     nightExposure(0.1, 3072));
}

// A folder with one recorded 12-megapixel JPEG, removed with the object.
class RecordedFolder {
public:
    RecordedFolder() {
        char pattern[] = "/tmp/capture_render_bench.XXXXXX";
        path_ = ::mkdtemp(pattern);
        const auto jpeg = imaging::encodeJpeg(*qv::bench::gradientPicture(4032, 3024), 90, {});
        std::ofstream(path_ / "frame.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg->data()), std::streamsize(jpeg->size()));
    }
    ~RecordedFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void renderRecorded(benchmark::State& state, bool newLookEachFrame) {
    const RecordedFolder folder;
    std::string problem;
    const auto frames = RecordedFrames::open(folder.path(), {4032, 3024}, problem);
    if (!frames) {
        state.SkipWithError(problem.c_str());
        return;
    }
    renderFrames(state, *frames, liveWidth, liveHeight, pixelformat::bgra32, FramePurpose::live,
                 nightExposure(0.1, 400), [&](FrameExposure& e) {
                     if (newLookEachFrame) {
                         auto& red = e.whiteBalanceGains.redGain;
                         red = red == 1.0f ? 1.01f : 1.0f;
                     }
                 });
}
void RecordedLiveFrame(benchmark::State& state) {
    renderRecorded(state, false);
}
void RecordedLiveFrameNew(benchmark::State& state) {
    renderRecorded(state, true);
}

BENCHMARK(RawPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BgraPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LinearPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LiveFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LiveFrameAsAPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RecordedLiveFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RecordedLiveFrameNew)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
