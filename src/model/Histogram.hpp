#pragma once

#include <cstdint>
#include <vector>

namespace qv {

// The colour histogram of one live frame: one count per brightness bin and
// channel. The histogram processor decides the number of bins and fills them.
struct Histogram {
    std::vector<std::uint64_t> red;
    std::vector<std::uint64_t> green;
    std::vector<std::uint64_t> blue;
};

} // namespace qv
