// The merge passes on 12-megapixel frames (4032 x 3024), each run through the
// compute layer as a merger runs it (command buffer, encoder, dispatch,
// commit, wait), against a hand-written loop doing the same arithmetic over
// the same textures (HandLoops.hpp) in the same run. Then a sequence's whole
// addPhoto in each mode against the bare passes it runs, with the photos a
// second it allows and the heap allocations it makes. Every figure is the
// median of interleaved repetitions; the program then runs itself again
// pinned to two CPUs. OpenMP's threads wait passively (OMP_WAIT_POLICY).
//   merge_passes_bench [repetitions [only the passes and sequences whose name holds this text]]
#include "AllocationCount.hpp"
#include "BenchSupport.hpp"
#include "HandLoops.hpp"
#include "engine/ExposureSequence.hpp"
#include "engine/PhotoMergerChoice.hpp"
#include "engine/kernels/MergeKernels.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Device.hpp"
#include "platform/compute/TextureCache.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"
#include "platform/store/UserDefaults.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace qv::platform;
using namespace qv::platform::compute;
namespace hand = qv::bench::hand;

namespace {

constexpr std::size_t width = 4032;
constexpr std::size_t height = 3024;

// Runs passes through the compute layer the way GpuMergeFrame does.
struct Passes {
    std::shared_ptr<Device> device = Device::systemDefault();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    std::shared_ptr<const Library> library = device->makeDefaultLibrary();
    std::optional<TextureCache> cache = TextureCache::make(*device);

    std::shared_ptr<const ComputePipelineState> pipeline(const std::string& name) const {
        std::string error;
        return device->makeComputePipelineState(*library->makeFunction(name), error);
    }

    Texture work(TextureFormat format) const {
        return *device->makeTexture(TextureDescriptor::texture2D(format, width, height, false));
    }

    Buffer buffer(const void* bytes, std::size_t length) const {
        return *device->makeBuffer(bytes, length);
    }

    void run(const std::shared_ptr<const ComputePipelineState>& pipeline,
             const std::vector<Texture>& textures, const std::vector<Buffer>& buffers) const {
        auto commandBuffer = queue->makeCommandBuffer();
        auto* encoder = commandBuffer->makeComputeCommandEncoder();
        encoder->setLabel("Bench");
        encoder->setComputePipelineState(pipeline);
        for (std::size_t i = 0; i < textures.size(); ++i) {
            encoder->setTexture(textures[i], i);
        }
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            encoder->setBuffer(buffers[i], 0, i);
        }
        const std::size_t w = pipeline->threadExecutionWidth();
        const std::size_t h = pipeline->maxTotalThreadsPerThreadgroup() / w;
        encoder->dispatchThreadgroups({(width + w - 1) / w, (height + h - 1) / h, 1}, {w, h, 1});
        encoder->endEncoding();
        commandBuffer->commit();
        commandBuffer->waitUntilCompleted();
        if (commandBuffer->status() != CommandBufferStatus::completed) {
            std::fprintf(stderr, "pass failed: %s\n", commandBuffer->error().c_str());
            std::exit(1);
        }
    }
};

hand::Plane plane(const Texture& t) {
    return {t.row<std::byte>(0), t.bytesPerRow()};
}

hand::Extent extent(const Texture& t) {
    return {t.width(), channelCount(t.pixelFormat()), t.height()};
}

// Fills every channel with values from `low` to `high`.
void fill(const Texture& t, std::uint32_t low, std::uint32_t high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::uint32_t> value(low, high);
    const std::size_t n = t.width() * channelCount(t.pixelFormat());
    for (std::size_t y = 0; y < t.height(); ++y) {
        for (std::size_t i = 0; i < n; ++i) {
            switch (t.pixelFormat()) {
            case TextureFormat::rgba8Uint:
                t.row<std::uint8_t>(y)[i] = std::uint8_t(value(random));
                break;
            case TextureFormat::r16Uint:
            case TextureFormat::rgba16Unorm:
                t.row<std::uint16_t>(y)[i] = std::uint16_t(value(random));
                break;
            case TextureFormat::rgba32Float:
                t.row<float>(y)[i] = float(value(random)) / 65535.0f;
                break;
            default:
                t.row<std::uint32_t>(y)[i] = value(random);
                break;
            }
        }
    }
}

struct Pass {
    const char* name;
    std::size_t bytesPerTexel; // read plus written
    std::function<void()> ours;
    std::function<void()> reference;
};

// A photo texture over a new pixel buffer, and the buffer it needs to live.
struct Photo {
    std::shared_ptr<PixelBuffer> buffer;
    Texture texture;
};

Photo photo(const Passes& passes, FourCharCode format, TextureFormat textureFormat) {
    auto buffer = PixelBuffer::make(width, height, format);
    auto texture = *passes.cache->makeTexture(buffer, textureFormat, width, height, 0);
    return {std::move(buffer), texture};
}

void printPasses(const std::vector<Pass>& passes, int repetitions) {
    std::vector<qv::bench::Contender> contenders;
    for (const Pass& p : passes) {
        contenders.push_back({p.ours, p.reference});
    }
    const auto timings = qv::bench::timeInterleaved(contenders, repetitions);
    std::printf("%-36s %8s %8s %6s %8s\n", "pass", "ms", "hand ms", "ratio", "GB/s");
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const auto& t = timings[i];
        const double bytes = double(passes[i].bytesPerTexel) * width * height;
        std::printf("%-36s %8.2f %8.2f %6.2f %8.1f\n", passes[i].name, t.ours * 1e3,
                    t.reference * 1e3, t.ratio(), bytes / t.ours / 1e9);
    }
}

// The night result divides the same sums by the same count as the Bayer
// average, then stretches and caps them: each night pass is timed against
// the average in the same rounds (goal: 1.25 or less).
void printNightAgainstAverage(const std::vector<Pass>& passes, int repetitions, const char* only) {
    const auto named = [&](const char* name) {
        return std::find_if(passes.begin(), passes.end(),
                            [&](const Pass& p) { return std::strcmp(p.name, name) == 0; });
    };
    const auto average = named("Bayer average");
    std::vector<const Pass*> nights;
    for (const char* name : {"Bayer night result (0 EV)", "Bayer night result (+1/3 EV)"}) {
        if (!only || std::strstr(name, only) != nullptr) {
            nights.push_back(&*named(name));
        }
    }
    if (nights.empty()) {
        return;
    }
    std::vector<qv::bench::Contender> contenders;
    for (const Pass* night : nights) {
        contenders.push_back({night->ours, average->ours});
    }
    const auto timings = qv::bench::timeInterleaved(contenders, repetitions);
    std::printf("\n%-36s %8s %8s %6s\n", "night result against the average", "ms", "avg ms",
                "ratio");
    for (std::size_t i = 0; i < nights.size(); ++i) {
        const auto& t = timings[i];
        std::printf("%-36s %8.2f %8.2f %6.2f\n", nights[i]->name, t.ours * 1e3, t.reference * 1e3,
                    t.ratio());
    }
}

// A sequence in one mode fed the same 12-megapixel photo over and over.
struct SequenceCase {
    const char* name;
    qv::SequenceMode mode;
    FourCharCode format;
    std::vector<const char*> bare; // the passes one addPhoto runs, by name
};

void printSequences(const std::vector<Pass>& passes, int repetitions, const char* only) {
    std::map<std::string, const Pass*> byName;
    for (const Pass& p : passes) {
        byName[p.name] = &p;
    }
    std::vector<SequenceCase> cases = {
        {"RAW frame averaging",
         qv::SequenceMode::frameAveraging,
         pixelformat::bayer14RGGB,
         {"Bayer sum"}},
        {"RGBA8 frame averaging",
         qv::SequenceMode::frameAveraging,
         pixelformat::bgra32,
         {"RGBA8 sum"}},
        {"RAW night mode",
         qv::SequenceMode::nightMode,
         pixelformat::bayer14RGGB,
         {"Bayer night sum"}},
        {"RAW light trails",
         qv::SequenceMode::lightTrails,
         pixelformat::bayer14RGGB,
         {"Bayer light trail"}},
        {"RAW star trails (groups of 1)",
         qv::SequenceMode::starTrails,
         pixelformat::bayer14RGGB,
         {"Bayer filtered star-trail sum", "Bayer boosted average", "R32 clear",
          "Bayer maximum fold"}},
    };
    std::erase_if(
        cases, [&](const SequenceCase& c) { return only && std::strstr(c.name, only) == nullptr; });
    if (cases.empty()) {
        return;
    }
    auto defaults = UserDefaults::inMemory();
    std::vector<std::shared_ptr<qv::ExposureSequence>> sequences;
    std::vector<std::shared_ptr<CapturedPhoto>> photos;
    std::vector<qv::bench::Contender> contenders;
    for (const SequenceCase& c : cases) {
        SyntheticPhotoOptions options;
        options.width = width;
        options.height = height;
        options.pixelFormat = c.format;
        auto photo = makeSyntheticPhoto(options);
        auto sequence = qv::ExposureSequence::make(*defaults);
        sequence->sequenceMode = c.mode;
        sequence->trailNumberOfFramesToAverage = 3;
        sequence->start();
        // The first photo makes the merger; star trails take two filter frames next.
        for (int i = 0; i < 4; ++i) {
            sequence->addPhoto(photo);
        }
        std::vector<const Pass*> bare;
        for (const char* name : c.bare) {
            bare.push_back(byName.at(name));
        }
        contenders.push_back({[sequence, photo] { sequence->addPhoto(photo); },
                              [bare] {
                                  for (const Pass* p : bare) {
                                      p->ours();
                                  }
                              }});
        sequences.push_back(sequence);
        photos.push_back(photo);
    }
    const auto timings = qv::bench::timeInterleaved(contenders, repetitions);
    std::printf("\n%-36s %8s %8s %6s %9s %7s\n", "sequence addPhoto", "ms", "bare ms", "ratio",
                "photos/s", "allocs");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::size_t before = qv::bench::allocationCount();
        constexpr int counted = 5;
        for (int n = 0; n < counted; ++n) {
            sequences[i]->addPhoto(photos[i]);
        }
        const std::size_t allocations = (qv::bench::allocationCount() - before) / counted;
        const auto& t = timings[i];
        std::printf("%-36s %8.2f %8.2f %6.2f %9.0f %7zu\n", cases[i].name, t.ours * 1e3,
                    t.reference * 1e3, t.ratio(), 1.0 / t.ours, allocations);
    }
}

} // namespace

int main(int argc, char** argv) {
    // OpenMP's threads would otherwise spin between the reference loops and
    // take the cores from the passes measured next to them.
    if (!std::getenv("OMP_WAIT_POLICY")) {
        setenv("OMP_WAIT_POLICY", "PASSIVE", 1);
        execv("/proc/self/exe", argv);
    }
    const bool pinned = qv::bench::isPinnedCopy(argc, argv);
    const int repetitions = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 21;
    // The sequences read their settings from a folder of their own.
    std::string home = (std::filesystem::temp_directory_path() / "qv-bench-XXXXXX").string();
    setenv("QV_HOME", mkdtemp(home.data()), 1);
    setConsoleSink([](std::string_view) {}); // the mergers' timing lines
    qv::kernels::registerMergeKernels();
    hand::setThreads(processorBudget());

    std::printf("%s%zu x %zu frames, %s, median of %d interleaved runs\n",
                pinned ? "\n== pinned to two CPUs ==\n" : "", width, height,
                qv::bench::machineLine().c_str(), repetitions);

    Passes passes;
    const Photo bayer = photo(passes, pixelformat::bayer14RGGB, TextureFormat::r16Uint);
    const Photo bayerOut = photo(passes, pixelformat::bayer14RGGB, TextureFormat::r16Uint);
    const Photo colour = photo(passes, pixelformat::bgra32, TextureFormat::rgba8Uint);
    const Photo colourOut = photo(passes, pixelformat::bgra32, TextureFormat::rgba8Uint);
    const Photo pro = photo(passes, pixelformat::rgba64LE, TextureFormat::rgba16Unorm);
    const Photo proOut = photo(passes, pixelformat::rgba64LE, TextureFormat::rgba16Unorm);
    const Texture bayerSum = passes.work(TextureFormat::r32Uint);
    const Texture bayerMeanSum = passes.work(TextureFormat::r32Uint); // read by the averages only
    const Texture bayerMax = passes.work(TextureFormat::r32Uint);
    const Texture filterA = passes.work(TextureFormat::r32Uint);
    const Texture filterB = passes.work(TextureFormat::r32Uint);
    const Texture colourSum = passes.work(TextureFormat::rgba32Uint);
    const Texture colourMeanSum = passes.work(TextureFormat::rgba32Uint);
    const Texture colourMax = passes.work(TextureFormat::rgba32Uint);
    const Texture proSum = passes.work(TextureFormat::rgba32Float);
    const Texture proMeanSum = passes.work(TextureFormat::rgba32Float);
    const std::uint32_t frames = 7;
    fill(bayer.texture, 0, 16383, 1);
    fill(colour.texture, 0, 255, 2);
    fill(pro.texture, 0, 65535, 3);
    fill(bayerMeanSum, 0, frames * 16383, 4);
    fill(colourMeanSum, 0, frames * 255, 5);
    fill(proMeanSum, 0, frames * 65535, 6);
    fill(filterA, 0, 16383, 7);
    fill(filterB, 0, 16383, 8);
    fill(bayerMax, 0, 16383, 9);
    fill(colourMax, 0, 255, 10);

    const std::uint32_t black = 528;
    const std::uint32_t lower[3] = {528, 532, 532};
    const std::uint32_t upper[3] = {2308, 4092, 3020};
    const std::uint32_t constant[3] = {1, 0, 0};
    const std::uint8_t rggb[4] = {0, 1, 1, 2};
    const float boost = 2.0f;
    const std::uint32_t pivot = 2112;
    const float evenGain = 1.0f;       // a result at 0 EV
    const float thirdStopGain = 1.26f; // about +1/3 EV: a factor no whole arithmetic takes
    const std::uint32_t margin[3] = {5, 0, 0};
    const std::uint32_t noMargin[3] = {0, 0, 0};
    const std::uint32_t pairGain = 1;
    const auto value = [&](const auto& v) { return passes.buffer(&v, sizeof v); };
    const Buffer count = value(frames);
    const std::vector<Buffer> night = {count,        value(black),    value(lower),
                                       value(upper), value(constant), value(rggb)};
    const auto nightResult = [&](const float& gain) {
        return std::vector<Buffer>{count,        value(black), value(lower),
                                   value(upper), value(gain),  value(rggb)};
    };

    const auto kernel = [&](const char* name, std::vector<Texture> textures,
                            std::vector<Buffer> buffers = {}) {
        auto pipeline = passes.pipeline(name);
        return [&passes, pipeline, textures, buffers] { passes.run(pipeline, textures, buffers); };
    };
    const Texture& b = bayer.texture;
    const Texture& c = colour.texture;
    const auto e16 = extent(b);
    const auto e8 = extent(c);
    const auto eFloat = extent(pro.texture);
    const std::vector<Pass> all = {
        {"Bayer sum", 2 + 4 + 4, kernel("frameAccumulator", {b, bayerSum}),
         [&] { hand::accumulate16(plane(b), plane(bayerSum), e16); }},
        {"RGBA8 sum", 4 + 16 + 16, kernel("frameAccumulator", {c, colourSum}),
         [&] { hand::accumulate8(plane(c), plane(colourSum), e8); }},
        {"Bayer light trail", 2 + 2 * (4 + 4), kernel("lightTrailer", {b, bayerSum, bayerMax}),
         [&] { hand::lightTrail16(plane(b), plane(bayerSum), plane(bayerMax), e16); }},
        {"RGBA8 light trail", 4 + 2 * (16 + 16),
         kernel("lightTrailerRGB", {c, colourSum, colourMax}),
         [&] { hand::lightTrail8(plane(c), plane(colourSum), plane(colourMax), e8); }},
        {"Bayer average", 4 + 2, kernel("frameAverager", {bayerOut.texture, bayerMeanSum}, {count}),
         [&] { hand::average16(plane(bayerOut.texture), plane(bayerMeanSum), e16, frames); }},
        {"RGBA8 average", 16 + 4,
         kernel("frameAveragerRGB", {colourOut.texture, colourMeanSum}, {count}),
         [&] { hand::average8(plane(colourOut.texture), plane(colourMeanSum), e8, frames); }},
        {"Bayer boosted average", 4 + 2,
         kernel("frameAverageBooster", {bayerOut.texture, bayerMeanSum},
                {count, value(boost), value(pivot)}),
         [&] {
             hand::boostedAverage(plane(bayerOut.texture), plane(bayerMeanSum), e16, frames, boost,
                                  pivot);
         }},
        {"Bayer night sum", 2 + 4 + 4, kernel("v2FrameAccumulator", {b, bayerSum}, night),
         [&] { hand::nightSum(plane(b), plane(bayerSum), e16, lower, upper); }},
        {"Bayer night result (0 EV)", 4 + 2,
         kernel("v2NightModeResult", {bayerOut.texture, bayerMeanSum}, nightResult(evenGain)),
         [&] {
             hand::nightResult(plane(bayerOut.texture), plane(bayerMeanSum), e16, frames, black,
                               upper, evenGain);
         }},
        {"Bayer night result (+1/3 EV)", 4 + 2,
         kernel("v2NightModeResult", {bayerOut.texture, bayerMeanSum}, nightResult(thirdStopGain)),
         [&] {
             hand::nightResult(plane(bayerOut.texture), plane(bayerMeanSum), e16, frames, black,
                               upper, thirdStopGain);
         }},
        {"Bayer filter copy", 2 + 4, kernel("frameCopy", {b, filterA}),
         [&] { hand::frameCopy(plane(b), plane(filterA), e16); }},
        {"Bayer filtered star-trail sum", 2 + 4 + 4 + 4 + 4 + 4,
         kernel("frameAccumulatorWithFilter", {b, filterA, filterB, bayerSum}),
         [&] {
             hand::filteredSum(plane(b), plane(filterA), plane(filterB), plane(bayerSum), e16);
         }},
        {"Bayer maximum fold", 2 + 4 + 4, kernel("starTrailer", {b, bayerMax}, {value(margin)}),
         [&] { hand::fold16(plane(b), plane(bayerMax), e16, margin[0]); }},
        {"RGBA8 maximum fold", 4 + 16 + 16,
         kernel("starTrailer", {c, colourMax}, {value(noMargin)}),
         [&] { hand::fold8(plane(c), plane(colourMax), e8, 0); }},
        {"Bayer maximum copy-out", 4 + 2, kernel("getMaxFrame", {bayerMax, bayerOut.texture}),
         [&] { hand::copyOut16(plane(bayerMax), plane(bayerOut.texture), e16); }},
        {"RGBA8 maximum copy-out", 16 + 4, kernel("getMaxFrameRGB", {colourMax, colourOut.texture}),
         [&] { hand::copyOut8(plane(colourMax), plane(colourOut.texture), e8); }},
        {"R32 clear", 4, kernel("resetAccumulator", {filterB}),
         [&] { hand::clear(plane(filterB), e16, 4); }},
        {"ProRAW sum (float)", 8 + 16 + 16, kernel("proFrameAccumulator", {pro.texture, proSum}),
         [&] { hand::proAccumulate(plane(pro.texture), plane(proSum), eFloat); }},
        {"ProRAW average (float)", 16 + 8,
         kernel("proFrameAverager", {proOut.texture, proMeanSum}, {count}),
         [&] { hand::proAverage(plane(proOut.texture), plane(proMeanSum), eFloat, frames); }},
        {"Bayer pair average", 4 + 4 + 2,
         kernel("frameAveragerNightMode", {bayerOut.texture, bayerMeanSum, filterA},
                {count, value(pairGain)}),
         [&] {
             hand::pairAverage(plane(bayerOut.texture), plane(bayerMeanSum), plane(filterA), e16,
                               frames, pairGain);
         }},
    };
    const char* only = argc > 2 && argv[2][0] != '-' ? argv[2] : nullptr;
    std::vector<Pass> chosen;
    std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                 [&](const Pass& p) { return !only || std::strstr(p.name, only) != nullptr; });
    if (!chosen.empty()) {
        printPasses(chosen, repetitions);
    }
    printNightAgainstAverage(all, repetitions, only);
    printSequences(all, repetitions, only);
    std::printf("load average at the end: %s\n", qv::bench::machineLine().c_str());
    return pinned ? 0 : qv::bench::runPinnedCopy(argc, argv);
}
