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
// Whole factors from 1 to 65536 over counts whose sums fit (below 65536 or
// so) work in 32-bit integers: the stretched sum
//   sum + (factor - 1) x max(0, sum - pivot x count),
// with the sum first capped where the result reaches `top`, is divided by
// RoundedDivider. Any other factor works in double precision: the rounded
// quotient is estimated, and the product factor x distance, held exactly as
// two doubles, decides in exact arithmetic whether it lies below or above
// the estimate's halves.
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

    // True when every sum from 2^32 - 1 up gives the same value as 2^32 - 1,
    // so a sum that saturated at 32 bits can stand for the true one.
    bool saturatesSafely() const { return saturatesSafely_; }

    // The rounded value of any whole sum below 2^53 (wider than 32 bits).
    std::uint32_t ofWideSum(double sum) const {
        const bool above = sum > pivotSum_;
        const double distance = above ? sum - pivotSum_ : sum;
        const double scale = above ? factor_ : 1.0;
        const double base = above ? pivot_ : 0.0;
        // k = round(scale x distance / count); hi + lo is the product exactly.
        // The estimate is moved above 0 so that truncating it rounds down.
        const double hi = scale * distance;
        const double lo = __builtin_fma(scale, distance, -hi);
        const double estimate = std::min(std::max(hi * inverse_ + 0.5, -furthest), furthest);
        const double k = double(std::int32_t(estimate + furthest)) - furthest;
        // Exact: (2k - 1) x count stays below 2^53. The exact product is
        // compared with the estimate's two halves; each difference either
        // is exact (the two are close) or far from zero.
        const double lowerHalf = (k - 0.5) * count_;
        const double upperHalf = lowerHalf + count_;
        const double belowLower = ((hi - lowerHalf) + lo < 0) ? 1.0 : 0.0;
        const double fromUpper = ((hi - upperHalf) + lo >= 0) ? 1.0 : 0.0;
        const double value = base + (k - belowLower + fromUpper);
        return std::uint32_t(std::int32_t(std::min(top_, std::max(0.0, value))));
    }

private:
    static constexpr double furthest = 1 << 20;

    template <class P>
    void stretchAll(const std::uint32_t* __restrict in, P* __restrict out, std::size_t n) const;

    std::uint32_t ofInteger(std::uint32_t sum) const {
        const std::uint32_t s = std::min(sum, bound_);
        const std::uint32_t excess = std::max(s, pivotSumInteger_) - pivotSumInteger_;
        return divider_.narrow(s + stretch_ * excess);
    }

    RoundedDivider divider_;
    bool integer_ = false;
    bool saturatesSafely_ = false;
    // The integer form.
    std::uint32_t bound_ = 0;           // sums from here up give `top`
    std::uint32_t pivotSumInteger_ = 0; // pivot x count
    std::uint32_t stretch_ = 0;         // factor - 1
    // The double form.
    double count_;
    double inverse_;
    double factor_;
    double pivot_;
    double pivotSum_; // pivot x count, at most 2^53
    double top_;
};

} // namespace qv::kernels::parts
