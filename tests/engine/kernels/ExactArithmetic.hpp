#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace qv::kernels::testing {

// The mean sum / count with its part above `pivot` multiplied by `factor`,
// rounded to nearest with halves up and capped to [0, top], in exact
// integer arithmetic: the factor, a float, is m x 2^shift with m below 2^24,
// so the rounding compares whole numbers (in 64 bits for counts up to 1000
// and factors from 2^-24 to 2^20).
inline std::uint32_t exactStretched(std::uint64_t sum, std::uint32_t count, double factor,
                                    std::uint32_t pivot, std::uint32_t top) {
    const std::uint64_t pivotSum = std::uint64_t(pivot) * count;
    std::uint64_t value;
    if (sum <= pivotSum) {
        value = (sum + count / 2) / count;
    } else {
        int exponent = 0;
        const double fraction = std::frexp(factor, &exponent);
        const auto m = std::uint64_t(std::ldexp(fraction, 24));
        const int shift = exponent - 24;
        EXPECT_EQ(double(m), std::ldexp(fraction, 24));
        EXPECT_TRUE(shift < 0 && shift > -50 && count < (std::uint64_t(1) << (61 + shift)));
        // pivot + floor(m x distance / scaledCount + 1/2)
        const std::uint64_t scaledCount = std::uint64_t(count) << -shift;
        value = pivot + (2 * m * (sum - pivotSum) + scaledCount) / (2 * scaledCount);
    }
    return std::uint32_t(std::min<std::uint64_t>(value, top));
}

} // namespace qv::kernels::testing
