#include "platform/capture/scene/detail/NoiseTable.hpp"

#include "platform/capture/scene/detail/NoiseHash.hpp"

#include <algorithm>

namespace qv::platform::detail {

NoiseTable::NoiseTable() : values_(size) {
    for (std::size_t i = 0; i < size; ++i) {
        values_[i] = gaussianOf(noiseHash(std::uint32_t(i), 0x7AB1Eu, 0x5EED7AB1u));
    }
}

const NoiseTable& NoiseTable::shared() {
    static const NoiseTable table;
    return table;
}

const float* NoiseTable::stretch(std::uint32_t frameSeed, std::uint32_t row, std::uint32_t plane,
                                 std::size_t count) const {
    const std::size_t starts = size - std::min(count, size) + 1;
    return values_.data() + noiseHash(plane, row, frameSeed) % starts;
}

} // namespace qv::platform::detail
