// Bandwidth of the merge passes on 12-megapixel frames (4032 x 3024), each
// run through the compute layer as a merger runs it (command buffer, encoder,
// dispatch, commit, wait), against a plain multi-threaded copy of the same
// number of bytes in the same run. Prints each pass's effective bandwidth
// (bytes read plus written per second) and its ratio to the copy's. A
// merger's whole addition is timed against the bare pass, with the heap
// allocations it makes (its console lines; never a frame-sized buffer).
//   merge_passes_bench [repetitions]
#include "engine/MetaDataCustomizer.hpp"
#include "engine/ProcessedPhotoMergers.hpp"
#include "engine/RawAveragingMergers.hpp"
#include "engine/kernels/MergeKernels.hpp"
#include "platform/capture/CapturedPhoto.hpp"
#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Device.hpp"
#include "platform/compute/TextureCache.hpp"
#include "platform/console/Console.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

// Every heap allocation of the program is counted.
namespace {
std::atomic<std::size_t> allocationCount{0};
std::atomic<std::size_t> allocatedBytes{0};
} // namespace

void* operator new(std::size_t size) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

using namespace qv::platform;
using namespace qv::platform::compute;

namespace {

constexpr std::size_t width = 4032;
constexpr std::size_t height = 3024;

// The fastest of `repetitions` runs, in seconds.
double fastest(int repetitions, const std::function<void()>& work) {
    double best = 1e9;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

struct CopyJob {
    const std::byte* from;
    std::byte* to;
    std::size_t chunk;
    std::size_t size;
};

void copyChunk(void* context, std::size_t index) {
    const auto& job = *static_cast<CopyJob*>(context);
    const std::size_t start = index * job.chunk;
    std::memcpy(job.to + start, job.from + start, std::min(job.chunk, job.size - start));
}

// Seconds to copy `traffic` / 2 bytes on every core (reading and writing
// together move `traffic` bytes).
double copySeconds(Device& device, std::size_t traffic, int repetitions) {
    const std::size_t size = traffic / 2;
    std::vector<std::byte> from(size, std::byte{1});
    std::vector<std::byte> to(size);
    CopyJob job{from.data(), to.data(), 256 * 1024, size};
    const std::size_t chunks = (size + job.chunk - 1) / job.chunk;
    return fastest(repetitions, [&] { device.workerPool().run(chunks, copyChunk, &job); });
}

struct Bench {
    std::shared_ptr<Device> device = Device::systemDefault();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    std::shared_ptr<const Library> library = device->makeDefaultLibrary();

    std::shared_ptr<const ComputePipelineState> pipeline(const std::string& name) {
        std::string error;
        return device->makeComputePipelineState(*library->makeFunction(name), error);
    }

    Texture work(TextureFormat format) {
        return *device->makeTexture(TextureDescriptor::texture2D(format, width, height, false));
    }

    void pass(const std::shared_ptr<const ComputePipelineState>& pipeline,
              const std::vector<Texture>& textures, const std::vector<Buffer>& buffers) {
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

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    qv::kernels::registerMergeKernels();
    Bench bench;
    auto cache = TextureCache::make(*bench.device);

    auto bayerPhoto = PixelBuffer::make(width, height, pixelformat::bayer14RGGB);
    auto colourPhoto = PixelBuffer::make(width, height, pixelformat::bgra32);
    const Texture bayer = *cache->makeTexture(bayerPhoto, TextureFormat::r16Uint, width, height, 0);
    const Texture colour =
        *cache->makeTexture(colourPhoto, TextureFormat::rgba8Uint, width, height, 0);
    const Texture bayerSum = bench.work(TextureFormat::r32Uint);
    const Texture colourSum = bench.work(TextureFormat::rgba32Uint);
    const Texture colourMax = bench.work(TextureFormat::rgba32Uint);
    const Texture bayerMax = bench.work(TextureFormat::r32Uint);
    const Texture filterA = bench.work(TextureFormat::r32Uint);
    const Texture filterB = bench.work(TextureFormat::r32Uint);
    const auto parameter = [&](const auto& value) {
        return *bench.device->makeBuffer(&value, sizeof value);
    };
    const std::uint32_t frames = 7;
    const Buffer count = parameter(frames);
    // The night sum's parameters: frame number, black level, lower and upper
    // limits per colour, the constant (1, 0, 0), the RGGB pattern.
    const std::uint32_t black = 528;
    const std::uint32_t lower[3] = {528, 532, 532};
    const std::uint32_t upper[3] = {2308, 4092, 3020};
    const std::uint32_t constant[3] = {1, 0, 0};
    const std::uint8_t rggb[4] = {0, 1, 1, 2};
    const std::vector<Buffer> night = {
        count,          parameter(black), parameter(lower), parameter(upper), parameter(constant),
        parameter(rggb)};

    struct Case {
        const char* name;
        std::shared_ptr<const ComputePipelineState> pipeline;
        std::vector<Texture> textures;
        std::vector<Buffer> buffers;
        std::size_t bytesPerPixel; // read plus written
    };
    const std::vector<Case> cases = {
        {"Bayer accumulation (R16 into R32)",
         bench.pipeline("frameAccumulator"),
         {bayer, bayerSum},
         {},
         2 + 4 + 4},
        {"RGBA8 accumulation (into RGBA32)",
         bench.pipeline("frameAccumulator"),
         {colour, colourSum},
         {},
         4 + 16 + 16},
        {"RGBA8 light trail (sum and maximum)",
         bench.pipeline("lightTrailerRGB"),
         {colour, colourSum, colourMax},
         {},
         4 + 2 * (16 + 16)},
        {"RGBA8 average (RGBA32 into RGBA8)",
         bench.pipeline("frameAveragerRGB"),
         {colour, colourSum},
         {count},
         16 + 4},
        {"Bayer night sum (clamped per colour)",
         bench.pipeline("v2FrameAccumulator"),
         {bayer, bayerSum},
         night,
         2 + 4 + 4},
        // Frame, two filter frames and the sum read; the older filter and the sum written.
        {"Bayer filtered star-trail sum",
         bench.pipeline("frameAccumulatorWithFilter"),
         {bayer, filterA, filterB, bayerSum},
         {},
         2 + 4 + 4 + 4 + 4 + 4},
        {"Bayer light trail (sum and maximum)",
         bench.pipeline("lightTrailer"),
         {bayer, bayerSum, bayerMax},
         {},
         2 + 2 * (4 + 4)},
    };

    std::printf("%zu x %zu frames, %zu worker threads plus the caller, best of %d runs\n", width,
                height, bench.device->workerPool().workerCount(), repetitions);
    std::printf("%-40s %9s %9s %9s %7s\n", "pass", "ms", "GB/s", "copy GB/s", "ratio");
    for (const Case& c : cases) {
        const std::size_t traffic = c.bytesPerPixel * width * height;
        const double seconds =
            fastest(repetitions, [&] { bench.pass(c.pipeline, c.textures, c.buffers); });
        const double copy = copySeconds(*bench.device, traffic, repetitions);
        const double rate = double(traffic) / seconds / 1e9;
        const double copyRate = double(traffic) / copy / 1e9;
        std::printf("%-40s %9.2f %9.2f %9.2f %7.2f\n", c.name, seconds * 1e3, rate, copyRate,
                    rate / copyRate);
    }

    // A merger's whole addition (guard, photo texture, pass, bookkeeping)
    // against the bare accumulation pass above.
    std::printf("\n%-40s %9s %9s %7s %7s %7s\n", "merger addition", "ms", "pass ms", "ratio",
                "allocs", "bytes");
    const auto photoOf = [](const std::shared_ptr<PixelBuffer>& buffer, bool raw) {
        CapturedPhoto::Properties properties;
        properties.pixelBuffer = buffer;
        properties.isRawPhoto = raw;
        return CapturedPhoto::make(std::move(properties));
    };
    qv::platform::ConsoleCapture quiet; // the mergers' timing lines
    auto& customizer = qv::MetaDataCustomizer::shared();
    auto rawPhoto = photoOf(bayerPhoto, true);
    auto colourPhotoCaptured = photoOf(colourPhoto, false);
    auto rawMerger = qv::MetalRAWPhotoMerger::make(rawPhoto, true, customizer);
    auto colourMerger = qv::MetalRGBA32PhotoMerger::make(colourPhotoCaptured, customizer);
    const struct {
        const char* name;
        qv::PhotoMerger* merger;
        std::shared_ptr<CapturedPhoto> photo;
        const Case& bare;
    } additions[] = {{"Bayer RAW addPhoto", rawMerger.get(), rawPhoto, cases[0]},
                     {"RGBA8 addPhoto", colourMerger.get(), colourPhotoCaptured, cases[1]}};
    for (const auto& a : additions) {
        const std::size_t allocationsBefore = allocationCount.load();
        const std::size_t bytesBefore = allocatedBytes.load();
        const double add = fastest(repetitions, [&] { a.merger->addPhoto(a.photo); });
        const std::size_t allocations = (allocationCount.load() - allocationsBefore) / repetitions;
        const std::size_t bytes = (allocatedBytes.load() - bytesBefore) / repetitions;
        const double pass =
            fastest(repetitions, [&] { bench.pass(a.bare.pipeline, a.bare.textures, {}); });
        std::printf("%-40s %9.2f %9.2f %7.2f %7zu %7zu\n", a.name, add * 1e3, pass * 1e3,
                    add / pass, allocations, bytes);
    }
    return 0;
}
