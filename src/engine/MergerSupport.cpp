#include "engine/MergerSupport.hpp"

#include "platform/console/Console.hpp"

#include <chrono>

namespace qv::merger {

double secondsSince(platform::MonotonicTime start) {
    return std::chrono::duration<double>(platform::monotonicNow() - start).count();
}

void printAdditionTime(platform::MonotonicTime start) {
    platform::print("Adding photo takes " + platform::describe(secondsSince(start)) + " seconds");
}

std::optional<FileData> encode(const PhotoPtr& photo, Customizer& customizer) {
    auto data = photo->fileDataRepresentation(customizer);
    if (!data) {
        return std::nullopt;
    }
    return std::move(*data);
}

bool clearOnItsOwn(GpuMergeFrame& frame, std::size_t pipeline,
                   const platform::compute::Texture& texture) {
    auto busy = frame.claim();
    if (!busy) {
        return false;
    }
    if (!frame.runPass("ResetAverager", pipeline, {texture})) {
        busy->keepBusyForGood();
        return false;
    }
    return true;
}

bool average(GpuMergeFrame& frame, std::size_t pipeline, const platform::compute::Texture& output,
             std::size_t accumulation, std::uint32_t count) {
    return frame.runPass("Averager", pipeline, {output, frame.workTexture(accumulation)},
                         {GpuMergeFrame::bytes(count)});
}

bool copyMaxFrames(GpuMergeFrame& frame, std::size_t pipeline, std::size_t maxFrames,
                   const platform::compute::Texture& output) {
    return frame.runPass("maxFrames", pipeline, {frame.workTexture(maxFrames), output});
}

std::optional<FileData> averageResult(GpuMergeFrame& frame, const PhotoPtr& kept,
                                      Customizer& customizer, std::size_t pipeline,
                                      std::size_t accumulation,
                                      const std::atomic<std::uint32_t>& count) {
    return result(frame, kept, customizer, [&](const platform::compute::Texture& output) {
        return average(frame, pipeline, output, accumulation, count.load());
    });
}

std::optional<FileData> maxFramesResult(GpuMergeFrame& frame, const PhotoPtr& kept,
                                        Customizer& customizer, std::size_t pipeline,
                                        std::size_t maxFrames) {
    return result(frame, kept, customizer, [&](const platform::compute::Texture& output) {
        return copyMaxFrames(frame, pipeline, maxFrames, output);
    });
}

} // namespace qv::merger
