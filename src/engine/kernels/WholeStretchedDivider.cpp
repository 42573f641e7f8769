#include "engine/kernels/WholeStretchedDivider.hpp"

#include "engine/kernels/KernelParts.hpp"

#include <cmath>

// A copy for processors with SSE2 but not SSE4.1 (the plain x86-64 copy, or a whole build
// without copies for other levels) runs the row loop written with SSE2's intrinsics.
#if defined(__SSE2__) && !defined(__SSE4_1__)
#define QV_SSE2_ONLY 1
#include <emmintrin.h>
#endif

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

// apply's row loop, built for each processor level (VectorClones.hpp): the compiler's
// vectorised loop, except on processors with only SSE2, which take the loop written below.
struct WholeStretchedDivider::Rows {
    struct Row {
        const std::uint32_t* in;
        std::uint16_t* out;
        std::size_t n;
        StretchedDivider::AlternatingCaps caps;
    };

    static inline __attribute__((always_inline)) void
    vectorised(const WholeStretchedDivider& divider, const Row& row) {
        // A block at a time against a block of caps, so the loop reads its cap like its sum (a
        // loop over pairs of values shuffles every vector in two on 128-bit processors).
        constexpr std::size_t block = 128;
        alignas(64) std::uint32_t cap[block];
        for (std::size_t i = 0; i < block; i += 2) {
            cap[i] = std::min<std::uint32_t>(row.caps.first, divider.top_);
            cap[i + 1] = std::min<std::uint32_t>(row.caps.second, divider.top_);
        }
        for (std::size_t start = 0; start < row.n; start += block) {
            const std::size_t m = std::min(block, row.n - start);
            const std::uint32_t* __restrict sums = row.in + start;
            std::uint16_t* __restrict values = row.out + start;
            for (std::size_t i = 0; i < m; ++i) {
                values[i] = std::uint16_t(
                    std::min(std::int32_t(divider.uncapped(sums[i])), std::int32_t(cap[i])));
            }
        }
    }

#if QV_SSE2_ONLY
    class Sse2;
    static void sse2(const WholeStretchedDivider& divider, const Row& row);
#endif

    // The loop for the processor level the compiler builds for.
    static inline __attribute__((always_inline)) void
    forTarget(const WholeStretchedDivider& divider, const Row& row) {
#if QV_SSE2_ONLY
        sse2(divider, row);
#else
        vectorised(divider, row);
#endif
    }

#if QV_VECTOR_COPIES
    QV_VECTOR_COPY("arch=x86-64-v4")
    static void apply(const WholeStretchedDivider& d, const Row& row) {
        vectorised(d, row);
    }
    QV_VECTOR_COPY("arch=x86-64-v3")
    static void apply(const WholeStretchedDivider& d, const Row& row) {
        vectorised(d, row);
    }
    QV_VECTOR_COPY("arch=x86-64-v2")
    static void apply(const WholeStretchedDivider& d, const Row& row) {
        vectorised(d, row);
    }
    QV_VECTOR_COPY("default")
    static void apply(const WholeStretchedDivider& d, const Row& row) {
        forTarget(d, row);
    }
#else
    QV_KERNEL_CLONES
    static void apply(const WholeStretchedDivider& d, const Row& row) {
        forTarget(d, row);
    }
#endif
};

#if QV_SSE2_ONLY

// uncapped() four values at a time in SSE2, minus 32768, so that a signed pack to 16 bits
// saturates the values at 65535 and a signed 16-bit minimum applies the caps.
// - The sum is capped by a signed comparison of sum - 2^31 (SSE2 compares signed only).
// - low = pivotSum + min(t, 0) and d = max(t, 0) for t = capped - pivotSum, from t's sign.
// - SSE2's one 32-bit multiply (pmuludq) makes the 64-bit products of lanes 0 and 2: the
//   two products of a value are subtracted there, once for the even lanes and once for the
//   odd ones moved down, and the low halves put back in order.
// - rest = rho - 2C, in [-2C, 2C): the value is k + 1, less one where rest < 0 (its sign).
class WholeStretchedDivider::Rows::Sse2 {
public:
    explicit Sse2(const WholeStretchedDivider& divider)
        : lastSumBiased_(splat(divider.lastSum_ ^ signBit)),
          pivotSumBiased_(splat(std::uint32_t(divider.pivotSum_) ^ signBit)),
          pivotSum_(splat(std::uint32_t(divider.pivotSum_))),
          belowSlope_(_mm_set1_ps(divider.belowSlope_)),
          aboveSlope_(_mm_set1_ps(divider.aboveSlope_)),
          lowShift_(_mm_cvtsi32_si128(std::int32_t(divider.lowShift_))),
          twiceScaledFactor_(splat(divider.twiceScaledFactor_)),
          twiceScaledCount_(splat(divider.twiceScaledCount_)),
          minusScaledCount_(splat(0u - divider.scaledCount_)) {}

    __m128i biasedValues(__m128i sums) const {
        const __m128i biased = _mm_xor_si128(sums, splat(signBit));
        const __m128i above = _mm_cmpgt_epi32(biased, lastSumBiased_);
        const __m128i cappedBiased =
            _mm_xor_si128(biased, _mm_and_si128(above, _mm_xor_si128(biased, lastSumBiased_)));
        const __m128i t = _mm_sub_epi32(cappedBiased, pivotSumBiased_);
        const __m128i belowPivot = _mm_srai_epi32(t, 31);
        const __m128i d = _mm_andnot_si128(belowPivot, t);
        const __m128i low = _mm_add_epi32(pivotSum_, _mm_and_si128(belowPivot, t));
        const __m128 estimate = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(low), belowSlope_),
                                           _mm_mul_ps(_mm_cvtepi32_ps(d), aboveSlope_));
        const __m128i k = _mm_cvttps_epi32(estimate);
        const __m128i products = productsInOrder(
            productsOfLanes0And2(d, k), productsOfLanes0And2(oddLanesDown(d), oddLanesDown(k)));
        const __m128i rest = _mm_add_epi32(
            _mm_add_epi32(_mm_sll_epi32(low, lowShift_), minusScaledCount_), products);
        const __m128i lessOne = _mm_srai_epi32(rest, 31);                  // -1 or 0
        return _mm_add_epi32(_mm_add_epi32(k, lessOne), splat(1 - 32768)); // k + 1, biased
    }

private:
    static constexpr std::uint32_t signBit = 0x80000000u;

    static __m128i splat(std::uint32_t v) { return _mm_set1_epi32(std::int32_t(v)); }
    static __m128i oddLanesDown(__m128i v) { return _mm_shuffle_epi32(v, 0xF5); } // 1 1 3 3
    // d x 2G - k x 2C of lanes 0 and 2, each in a 64-bit lane (its low half exact).
    __m128i productsOfLanes0And2(__m128i d, __m128i k) const {
        return _mm_sub_epi64(_mm_mul_epu32(d, twiceScaledFactor_),
                             _mm_mul_epu32(k, twiceScaledCount_));
    }
    // The low halves of even (lanes 0, 2) and odd (lanes 1, 3) in lane order.
    static __m128i productsInOrder(__m128i even, __m128i odd) {
        const __m128 halves = _mm_shuffle_ps(_mm_castsi128_ps(even), _mm_castsi128_ps(odd), 0x88);
        return _mm_shuffle_epi32(_mm_castps_si128(halves), 0xD8); // 0 2 1 3 to 0 1 2 3
    }

    __m128i lastSumBiased_;
    __m128i pivotSumBiased_;
    __m128i pivotSum_;
    __m128 belowSlope_;
    __m128 aboveSlope_;
    __m128i lowShift_;
    __m128i twiceScaledFactor_;
    __m128i twiceScaledCount_;
    __m128i minusScaledCount_;
};

void WholeStretchedDivider::Rows::sse2(const WholeStretchedDivider& divider, const Row& row) {
    const std::uint32_t* in = row.in;
    std::uint16_t* out = row.out;
    const std::size_t n = row.n;
    const StretchedDivider::AlternatingCaps caps = row.caps;
    const Sse2 values(divider);
    const auto biasedCap = [&](std::uint16_t cap) {
        return std::int16_t(std::min<std::uint32_t>(cap, divider.top_) - 32768);
    };
    const std::int16_t first = biasedCap(caps.first), second = biasedCap(caps.second);
    const __m128i caps16 =
        _mm_set_epi16(second, first, second, first, second, first, second, first);
    const __m128i unbias = _mm_set1_epi16(std::int16_t(-32768));
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i firstFour =
            values.biasedValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
        const __m128i nextFour =
            values.biasedValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4)));
        const __m128i capped = _mm_min_epi16(_mm_packs_epi32(firstFour, nextFour), caps16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(capped, unbias));
    }
    for (; i < n; ++i) {
        const std::uint32_t cap =
            std::min<std::uint32_t>(i % 2 == 0 ? caps.first : caps.second, divider.top_);
        out[i] = std::uint16_t(std::min(divider.uncapped(in[i]), cap));
    }
}

#endif

void WholeStretchedDivider::apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
                                  std::size_t n, StretchedDivider::AlternatingCaps caps) const {
    Rows::apply(*this, {in, out, n, caps});
}

} // namespace qv::kernels::parts
