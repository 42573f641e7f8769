#pragma once

#include "engine/kernels/RoundedDivider.hpp"

#include <cstddef>
#include <cstdint>

namespace qv::kernels::parts {

// Rounds a mean whose part above a pivot is stretched,
//   value = mean + (factor - 1) x max(0, mean - pivot),   mean = sum / count,
// to the nearest whole number, halves up, and caps it to [0, top] (top at
// most 65535). With a factor of 1, or at and below the pivot, it is the
// mean itself, rounded as RoundedDivider rounds it. Exact for every sum and
// every finite factor; a factor that is not finite counts as 1.
//
// A factor m / 2^n with a whole m up to 65536 and n up to 16 (whole stops,
// halves, the boost of 2) over counts whose sums fit (2^n x count below
// 65536 or so) works in 32-bit integers: with the sum first capped where
// the result reaches `top`, the stretched sum times 2^n,
//   sum x 2^n at or below pivot x count, else
//   pivot x count x 2^n + m x (sum - pivot x count),
// goes through RoundedDivider over 2^n x count. Any other positive factor,
// over counts up to 2^20 with pivot x count below 2^24, works in single
// precision (16 values a 512-bit vector): an estimate whose error is proven
// below 2^-22 (singleEstimate), with each block of 128 values that holds a
// value within that bound of a half worked again with the rounding decided in
// exact arithmetic (the product factor x distance held exactly as two
// doubles). The remaining factors work the same way from an estimate in
// double precision, exact unless it lies within 2^-26 of a half, a row at a
// time.
class StretchedDivider {
public:
    StretchedDivider(std::uint32_t count, double factor, std::uint32_t pivot, std::uint32_t top);

    std::uint32_t operator()(std::uint32_t sum) const {
        return integer_ ? ofInteger(sum) : ofWideSum(double(sum));
    }

    // out[i] = the rounded value of in[i], for n values.
    void apply(const std::uint32_t* __restrict in, std::uint8_t* __restrict out,
               std::size_t n) const;
    void apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
               std::size_t n) const;

    // The same, each value then capped by its column's cap: `first` for
    // out[0], out[2], ..., `second` for out[1], out[3], ... (the two colours
    // of a row of a Bayer mosaic).
    struct AlternatingCaps {
        std::uint16_t first;
        std::uint16_t second;
    };
    void apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out, std::size_t n,
               AlternatingCaps caps) const;

    // True when every sum from 2^32 - 1 up gives the same value as 2^32 - 1,
    // so a sum that saturated at 32 bits can stand for the true one.
    bool saturatesSafely() const { return saturatesSafely_; }

    // The rounded value of any whole sum below 2^53 (wider than 32 bits).
    std::uint32_t ofWideSum(double sum) const {
        const Stretch s = stretchOf(sum);
        // k = round(scale x distance / count); hi + lo is the product exactly.
        const double hi = s.scale * s.distance;
        const double lo = __builtin_fma(s.scale, s.distance, -hi);
        const double k = roundedDown(hi * inverse_ + 0.5);
        // Exact: (2k - 1) x count stays below 2^53. The exact product is
        // compared with the estimate's two halves; each difference either
        // is exact (the two are close) or far from zero.
        const double lowerHalf = (k - 0.5) * count_;
        const double upperHalf = lowerHalf + count_;
        const double belowLower = ((hi - lowerHalf) + lo < 0) ? 1.0 : 0.0;
        const double fromUpper = ((hi - upperHalf) + lo >= 0) ? 1.0 : 0.0;
        return capped(s.base + (k - belowLower + fromUpper));
    }

private:
    static constexpr double furthest = 1 << 20;

    // The part of a sum that is scaled, by how much, and what is added.
    struct Stretch {
        double distance;
        double scale;
        double base;
    };
    Stretch stretchOf(double sum) const {
        const bool above = sum > pivotSum_;
        const double distance = sum - pivotSum_;
        return {above ? distance : sum, above ? factor_ : 1.0, above ? pivot_ : 0.0};
    }
    // floor(v) for v within [-2^20, 2^20] (clamped there): moved above 0,
    // truncating rounds down.
    static double roundedDown(double v) {
        const double within = std::min(std::max(v, -furthest), furthest);
        return double(std::int32_t(within + furthest)) - furthest;
    }
    std::uint32_t capped(double value) const {
        return std::uint32_t(std::int32_t(std::min(top_, std::max(0.0, value))));
    }

    // The single form, and whether it must look for distances too wide for a float.
    enum class Single { none, plain, checkingWide };
    template <Single form, class P>
    std::int32_t singleEstimate(const std::uint32_t* __restrict in, P* __restrict out,
                                std::size_t n, const float* __restrict tops) const;
    // The single form and the rows in apply() go a block of values at a time.
    static constexpr std::size_t block = 128;
    template <class P>
    void singleBlocks(const std::uint32_t* __restrict in, P* __restrict out, std::size_t n,
                      const float* __restrict tops, const P* __restrict caps) const;
    template <class P>
    void stretchAll(const std::uint32_t* __restrict in, P* __restrict out, std::size_t n) const;

    std::uint32_t ofInteger(std::uint32_t sum) const {
        const std::uint32_t s = std::min(sum, bound_);
        const std::uint32_t above = pivotSumScaled_ + scale_ * (s - pivotSumInteger_);
        return divider_.narrow(s > pivotSumInteger_ ? above : s << shift_);
    }

    void chooseSingle(std::uint32_t count, std::uint64_t pivotSum);

    RoundedDivider divider_;
    bool integer_ = false;
    Single single_ = Single::none;
    bool saturatesSafely_ = false;
    // The integer form: factor = scale_ / 2^shift_.
    std::uint32_t bound_ = 0;           // sums from here up give `top`
    std::uint32_t pivotSumInteger_ = 0; // pivot x count, at most 2^32 - 1
    std::uint32_t pivotSumScaled_ = 0;  // pivot x count x 2^shift_ where it matters
    std::uint32_t scale_ = 1;
    std::uint32_t shift_ = 0;
    // The single form: the scale above the pivot (factor / count) and below
    // it (1 / count), each the sum of two floats.
    std::int32_t pivotSumSingle_ = 0;
    float pivotSingle_ = 0;
    float aboveHigh_ = 0;
    float aboveLow_ = 0;
    float belowHigh_ = 0;
    float belowLow_ = 0;
    float topSingle_ = 0;
    // The double form.
    double count_;
    double inverse_;
    double factor_;
    double factorOverCount_;
    double pivot_;
    double pivotSum_; // pivot x count, at most 2^53
    double top_;
};

} // namespace qv::kernels::parts
