#include "engine/kernels/WholeStretchedDivider.hpp"

#include "engine/kernels/KernelParts.hpp"

#include <cmath>

namespace qv::kernels::parts {

namespace {

constexpr std::uint64_t below31 = (std::uint64_t(1) << 31) - 1;

} // namespace

// Why the value is exact. Let P = pivot x count, low = min(sum, P) and d =
// sum - low, with d capped at D, the smallest distance whose value reaches
// `top` (sums beyond it give `top` or more either way, and are capped).
// - The value. At and below the pivot it is floor((2 low + count) / 2 count)
//   (d = 0); above it pivot + floor((2G d + C) / 2C) with pivot = P / count.
//   Both are floor(N / 2C) with N = 2^(s+1) low + 2G d + C, since
//   2^(s+1) x low / 2C = low / count and P / count is whole.
// - The estimate. N / 2C - 1/2 = low / count + d g / count: at most pivot at
//   and below the pivot, and below top + 1/2 + g / count < 2^17 above it (the
//   distance D - 1 gives less than top, or D is 1; one more distance adds
//   g / count < 2^16). The two products are within 3 x 2^-24 of their values
//   relatively (at most 0.012 and 0.024), their sum rounds by at most 2^-7 at
//   these sizes: the estimate lies within 0.05 of N / 2C - 1/2, so its whole
//   part k' (truncated) is the value v = floor(N / 2C) or v - 1. (An estimate
//   below 0 means N / 2C < 0.55: v = 0 = k'.)
// - The correction. N - 2C v lies in [0, 2C), so rho = N - 2C k' lies in
//   [0, 2C) when k' = v and in [2C, 4C) when k' = v - 1: the value is k' + 1
//   exactly when rho >= 2C. rho lies below 2^31 for C <= 2^29, so working it
//   modulo 2^32 gives it exactly.
std::optional<WholeStretchedDivider> WholeStretchedDivider::make(std::uint32_t count, double factor,
                                                                 std::uint32_t pivot,
                                                                 std::uint32_t top) {
    if (!std::isfinite(factor)) {
        factor = 1.0;
    }
    if (!(factor > 0) || factor >= 65536 || count == 0 || pivot > 65535 || top > 65535) {
        return std::nullopt;
    }
    // The factor as G / 2^s with s as small as it goes, while C stays within 2^29.
    std::uint32_t s = 0;
    double scaled = factor;
    while (scaled != std::floor(scaled) && (std::uint64_t(count) << s) < (1u << 29)) {
        scaled *= 2; // exact
        ++s;
    }
    const std::uint64_t scaledCount = std::uint64_t(count) << s;
    const std::uint64_t pivotSum = std::uint64_t(pivot) * count;
    if (scaled != std::floor(scaled) || scaled >= 2147483648.0 || scaledCount > (1u << 29) ||
        pivotSum >= below31) {
        return std::nullopt;
    }
    // The smallest distance whose value reaches `top`: the one where
    // 2G d + C reaches (2 (top - pivot) - 1) C (any distance at all when the
    // pivot is at or above `top`). Every capped sum must stay below 2^31.
    const auto g = std::uint64_t(scaled); // below 2^31
    const std::uint64_t reaching =
        top > pivot ? (2 * std::uint64_t(top - pivot) - 1) * scaledCount : 0;
    const std::uint64_t distance = std::max<std::uint64_t>(1, (reaching + 2 * g - 1) / (2 * g));
    if (pivotSum + distance > below31) {
        return std::nullopt;
    }
    WholeStretchedDivider divider;
    divider.top_ = top;
    divider.pivotSum_ = std::int32_t(pivotSum);
    divider.lastSum_ = std::uint32_t(pivotSum + distance);
    divider.belowSlope_ = float(1.0 / count);
    divider.aboveSlope_ = float(factor / count);
    divider.lowShift_ = s + 1;
    divider.twiceScaledFactor_ = std::uint32_t(2 * g);
    divider.scaledCount_ = std::uint32_t(scaledCount);
    divider.twiceScaledCount_ = std::uint32_t(2 * scaledCount);
    divider.lastBelowTwiceScaledCount_ = std::int32_t(2 * scaledCount - 1);
    return divider;
}

QV_KERNEL_CLONES
void WholeStretchedDivider::apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
                                  std::size_t n, StretchedDivider::AlternatingCaps caps) const {
    const WholeStretchedDivider divider = *this; // fields in registers, not reloaded per value
    // A block at a time against a block of caps, so the loop reads its cap like its sum (a
    // loop over pairs of values shuffles every vector in two on 128-bit processors).
    constexpr std::size_t block = 128;
    alignas(64) std::uint32_t cap[block];
    for (std::size_t i = 0; i < block; i += 2) {
        cap[i] = std::min<std::uint32_t>(caps.first, divider.top_);
        cap[i + 1] = std::min<std::uint32_t>(caps.second, divider.top_);
    }
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t m = std::min(block, n - start);
        const std::uint32_t* __restrict sums = in + start;
        std::uint16_t* __restrict values = out + start;
        for (std::size_t i = 0; i < m; ++i) {
            values[i] = std::uint16_t(
                std::min(std::int32_t(divider.uncapped(sums[i])), std::int32_t(cap[i])));
        }
    }
}

} // namespace qv::kernels::parts
