// The live overlays' cost per frame, on one core: 1920 x 1080 BGRA frames (a night scene,
// and one flat colour, where every count lands in the same bin), counted by the histogram
// processor from an RGBA image, taken from the frame to the histogram as the controller does
// (counted in the frame's own pixels), as it did before (the frame converted to an RGBA image,
// then counted), and made into the magnifier's picture (the frame converted to an RGBA
// image). Each is set against a plain read of the frame's bytes in the same run; every figure
// is the median of interleaved repetitions. The goals: the count within 3 ms, the frame to
// the histogram or to the magnifier's picture within 6 ms (a fifth of a frame period at 30
// frames a second).
//   live_frame_bench [repetitions]
#include "BenchSupport.hpp"
#include "camera/HistogramProcessor.hpp"
#include "model/ImageRoutines.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <sched.h>
#include <string>

using qv::platform::PixelBuffer;

namespace {

constexpr std::size_t width = 1920;
constexpr std::size_t height = 1080;
constexpr double countGoal = 3e-3;            // seconds
constexpr double frameToHistogramGoal = 6e-3; // seconds

// A dark sky with sensor noise, stars and a few streaks of passing lights.
std::shared_ptr<PixelBuffer> nightScene() {
    auto frame = PixelBuffer::make(width, height, qv::platform::pixelformat::bgra32);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(12, 4);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = frame->row<std::uint8_t>(y);
        const double glow = 18.0 * double(y) / double(height); // the horizon's light
        for (std::size_t x = 0; x < width; ++x) {
            for (std::size_t c = 0; c < 3; ++c) {
                const double value = noise(random) + glow * (c == 2 ? 0.6 : 1.0);
                row[4 * x + c] = std::uint8_t(std::clamp(value, 0.0, 255.0));
            }
            row[4 * x + 3] = 255;
        }
    }
    std::uniform_int_distribution<std::size_t> column(0, width - 1);
    std::uniform_int_distribution<std::size_t> line(0, height - 1);
    for (int star = 0; star < 2000; ++star) {
        std::uint8_t* pixel = frame->row<std::uint8_t>(line(random)) + 4 * column(random);
        std::memset(pixel, 200 + star % 56, 3);
    }
    for (std::size_t y = height - 200; y < height - 180; ++y) {
        std::uint8_t* row = frame->row<std::uint8_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            row[4 * x + 2] = 255; // a red tail-light trail
            row[4 * x + 1] = std::uint8_t(60 + x % 40);
        }
    }
    return frame;
}

std::shared_ptr<PixelBuffer> flatColour() {
    auto frame = PixelBuffer::make(width, height, qv::platform::pixelformat::bgra32);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = frame->row<std::uint8_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t pixel[4] = {160, 80, 40, 255};
            std::memcpy(row + 4 * x, pixel, 4);
        }
    }
    return frame;
}

// The reference: every byte of the frame read once, summed in 64-bit words.
volatile std::uint64_t sink;
std::optional<qv::platform::RgbaImage> sinkImage;
void plainRead(const PixelBuffer& frame) {
    std::uint64_t sum = 0;
    for (std::size_t y = 0; y < frame.height(); ++y) {
        const std::byte* row = frame.baseAddress() + y * frame.bytesPerRow();
        for (std::size_t i = 0; i + 8 <= frame.width() * 4; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, row + i, 8);
            sum += word;
        }
    }
    sink = sum;
}

void pinToOneCpu() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        return;
    }
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            sched_setaffinity(0, sizeof one, &one);
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 41;
    std::printf("%zu x %zu frames on one core, %s, median of %d interleaved runs\n", width, height,
                qv::bench::machineLine().c_str(), repetitions);
    pinToOneCpu();

    qv::HistogramProcessor processor;
    struct Scene {
        const char* name;
        std::shared_ptr<PixelBuffer> frame;
        qv::platform::RgbaImage image;
    };
    std::vector<Scene> scenes;
    for (auto [name, frame] :
         {std::pair{"night scene", nightScene()}, {"flat colour", flatColour()}}) {
        auto image = qv::cgImage(frame);
        scenes.push_back({name, frame, std::move(*image)});
    }

    struct Step {
        const char* name;
        double goal;
        std::function<void(const Scene&)> run;
    };
    const std::vector<Step> steps = {
        {"count", countGoal,
         [&](const Scene& scene) { processor.calculateHistogram(scene.image); }},
        {"frame to histogram", frameToHistogramGoal,
         [&](const Scene& scene) { processor.calculateHistogram(*scene.frame); }},
        {"  before: via RGBA", frameToHistogramGoal,
         [&](const Scene& scene) { processor.calculateHistogram(*qv::cgImage(scene.frame)); }},
        {"frame to magnifier", frameToHistogramGoal,
         [&](const Scene& scene) { sinkImage = qv::cgImage(scene.frame); }},
    };
    std::vector<qv::bench::Contender> contenders;
    for (const Scene& scene : scenes) {
        for (const Step& step : steps) {
            contenders.push_back({[&] { step.run(scene); }, [&] { plainRead(*scene.frame); }});
        }
    }
    const auto timings = qv::bench::timeInterleaved(contenders, repetitions);

    bool withinGoals = true;
    std::printf("%-14s %-20s %10s %12s %8s %8s\n", "frame", "step", "ours ms", "read ms", "ratio",
                "goal ms");
    for (std::size_t i = 0; i < timings.size(); ++i) {
        const Step& step = steps[i % steps.size()];
        const auto& t = timings[i];
        withinGoals = withinGoals && t.ours <= step.goal;
        std::printf("%-14s %-20s %10.3f %12.3f %8.2f %8.1f%s\n", scenes[i / steps.size()].name,
                    step.name, t.ours * 1e3, t.reference * 1e3, t.ratio(), step.goal * 1e3,
                    t.ours <= step.goal ? "" : "  over the goal");
    }
    std::printf("%s\n", withinGoals ? "within the goals" : "over a goal");
    return withinGoals ? 0 : 1;
}
