#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::platform::detail {

// Standard normal values drawn once, for live frames. Each plane of each row of a frame takes
// a stretch of the table that starts where the frame's seed and the row put it, so the noise
// is new in every frame without a hash for every photosite; the stretches of one frame start
// at unrelated places, so no pattern lines up from row to row. Photos never use it: their
// noise is drawn afresh for every photosite (NoiseHash.hpp).
class NoiseTable {
public:
    static constexpr std::size_t size = std::size_t(1) << 16;

    static const NoiseTable& shared();

    // `count` values (at most `size`) for plane `plane` of row `row` of a frame.
    const float* stretch(std::uint32_t frameSeed, std::uint32_t row, std::uint32_t plane,
                         std::size_t count) const;

private:
    NoiseTable();
    std::vector<float> values_;
};

} // namespace qv::platform::detail
