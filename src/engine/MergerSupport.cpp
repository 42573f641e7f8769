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

} // namespace qv::merger
