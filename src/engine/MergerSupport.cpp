#include "engine/MergerSupport.hpp"

#include <chrono>

namespace qv::merger {

double secondsSince(platform::MonotonicTime start) {
    return std::chrono::duration<double>(platform::monotonicNow() - start).count();
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

} // namespace qv::merger
