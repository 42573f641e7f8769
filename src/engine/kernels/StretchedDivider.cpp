#include "engine/kernels/StretchedDivider.hpp"

#include "engine/kernels/KernelParts.hpp"

#include <cmath>

namespace qv::kernels::parts {

StretchedDivider::StretchedDivider(std::uint32_t count, double factor, std::uint32_t pivot,
                                   std::uint32_t top)
    : divider_(count, top) {
    if (!std::isfinite(factor)) {
        factor = 1.0;
    }
    constexpr std::uint64_t largest = 0xFFFFFFFFu;
    const std::uint64_t pivotSum = std::uint64_t(pivot) * count;
    count_ = double(count);
    inverse_ = 1.0 / count_;
    factor_ = factor;
    pivot_ = double(pivot);
    pivotSum_ = double(std::min<std::uint64_t>(pivotSum, std::uint64_t(1) << 53));
    top_ = double(top);

    const bool whole = factor >= 1 && factor <= 65536 && factor == std::floor(factor);
    if (!whole || divider_.wide()) {
        return;
    }
    // Above a pivot sum beyond 32 bits no sum is stretched.
    const std::uint64_t stretch = pivotSum > largest ? 0 : std::uint64_t(factor) - 1;
    const auto stretched = [&](std::uint64_t s) {
        return s + stretch * (s > pivotSum ? s - pivotSum : 0);
    };
    // The smallest stretched sum that gives `top`, and the smallest sum
    // whose stretched sum reaches it (the stretched sum grows by `stretch + 1`
    // a step above the pivot sum).
    const std::uint64_t topSum = std::uint64_t(top) * count - count / 2;
    const std::uint64_t bound = stretch == 0 || topSum <= pivotSum
                                    ? topSum
                                    : (topSum + stretch * pivotSum + stretch) / (stretch + 1);
    if (stretched(std::min(bound, largest)) > largest) {
        return;
    }
    integer_ = true;
    saturatesSafely_ = bound <= largest;
    bound_ = std::uint32_t(std::min(bound, largest));
    pivotSumInteger_ = std::uint32_t(std::min(pivotSum, largest));
    stretch_ = std::uint32_t(stretch);
}

template <class P>
inline __attribute__((always_inline)) void
StretchedDivider::stretchAll(const std::uint32_t* __restrict in, P* __restrict out,
                             std::size_t n) const {
    const StretchedDivider divider = *this; // fields in registers, not reloaded per value
    if (divider.integer_) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = P(divider.ofInteger(in[i]));
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = P(divider.ofWideSum(double(in[i])));
    }
}

QV_KERNEL_CLONES
void StretchedDivider::apply(const std::uint32_t* __restrict in, std::uint8_t* __restrict out,
                             std::size_t n) const {
    stretchAll(in, out, n);
}

QV_KERNEL_CLONES
void StretchedDivider::apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
                             std::size_t n) const {
    stretchAll(in, out, n);
}

} // namespace qv::kernels::parts
