// Rendering simulated camera frames of the synthetic night scene: a 12-megapixel RAW mosaic,
// a 12-megapixel 'BGRA' and 'l64r' photo, and a 1440x1080 live frame, on every core the
// process may use (run under taskset -c 0,1 for two). Goal: RAW in 50 ms on 8 cores, 150 ms
// on 2.

#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/formatting/WallTime.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace qv::platform;

void renderFrames(benchmark::State& state, std::size_t width, std::size_t height,
                  FourCharCode format) {
    const SyntheticNightScene scene;
    const SceneCamera camera;
    auto buffer = PixelBuffer::make(width, height, format);
    FrameExposure exposure;
    exposure.durationSeconds = 1;
    exposure.iso = 1600;
    exposure.lensPosition = 0.9f;
    exposure.wallStart = wallTimeFromSeconds(1704067200.0);
    for (auto _ : state) {
        exposure.start += std::chrono::seconds(1);
        exposure.wallStart += std::chrono::seconds(1);
        scene.render(camera, exposure, FramePurpose::photo, *buffer);
        benchmark::DoNotOptimize(buffer->baseAddress());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(width * height));
}

void RawPhoto12MP(benchmark::State& state) {
    renderFrames(state, 4032, 3024, pixelformat::bayer14RGGB);
}
void BgraPhoto12MP(benchmark::State& state) {
    renderFrames(state, 4032, 3024, pixelformat::bgra32);
}
void LinearPhoto12MP(benchmark::State& state) {
    renderFrames(state, 4032, 3024, pixelformat::rgba64LE);
}
void LivePreviewFrame(benchmark::State& state) {
    renderFrames(state, 1440, 1080, pixelformat::bgra32);
}

BENCHMARK(RawPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BgraPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LinearPhoto12MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LivePreviewFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
