#pragma once

#include "engine/kernels/StretchedDivider.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qv::kernels::parts {

// The value StretchedDivider gives,
//   value = mean + (factor - 1) x max(0, mean - pivot),   mean = sum / count,
// rounded to the nearest whole number, halves up, and capped to [0, top],
// worked in 32-bit integers and float products: no fused multiply-add,
// floor or double, and no branch on the side of the pivot, so every
// processor level runs it close to the speed of a plain average
// (RoundedDivider), where the float form calls the library for each value
// on processors without fused multiply-add. The row loop's copy for
// processors with only SSE2 (the plain x86-64 copy, and every build
// without copies for other levels) is written by hand: SSE2 has no 32-bit
// multiply, minimum or unsigned pack, which the compiler would build
// out of several instructions each.
//
// How. With the factor g = G / 2^s (G whole, s its binary digits after the
// point) and C = count x 2^s, the value is floor(N / 2C) for the whole number
//   N = 2^(s+1) x low + 2G x d + C,
// low = min(sum, pivot x count) and d = the part of the sum above it. A float
// estimate k' of N / 2C - 1/2 gives the value or one less, so rho = N - 2C k'
// lies in [0, 4C), which 32-bit arithmetic holds exactly while C <= 2^29: the
// value is k' + 1 when rho >= 2C, else k'. Sums from the
// smallest one whose value reaches `top` count as that one, which keeps the
// estimate within its bound (the proof is in the .cpp).
class WholeStretchedDivider {
public:
    // Nothing outside the form: a factor that is not positive, or whose
    // count x 2^s exceeds 2^29 (a float factor from 1/2 up has s of at most
    // 23: counts up to 32 take every such factor, up to 64 every one from 1
    // up; a whole factor takes counts up to 2^29); a pivot or top above
    // 65535, or a count whose pivot sum or the sum that reaches `top` lies
    // at 2^31 or beyond. A factor that is not finite counts as 1, as in
    // StretchedDivider.
    static std::optional<WholeStretchedDivider> make(std::uint32_t count, double factor,
                                                     std::uint32_t pivot, std::uint32_t top);

    std::uint32_t operator()(std::uint32_t sum) const { return std::min(uncapped(sum), top_); }

    // out[i] = the rounded value of in[i], then capped by its column's cap
    // (`first` for out[0], out[2], ..., `second` for the others).
    void apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out, std::size_t n,
               StretchedDivider::AlternatingCaps caps) const;

private:
    struct Rows; // apply's row loop for each processor level (the .cpp)

    WholeStretchedDivider() = default;

    // The value before the cap: from 0 to a little above `top`.
    std::uint32_t uncapped(std::uint32_t sum) const {
        // Below 2^31 from here on: signed comparisons and conversions, one instruction each
        // on every processor level.
        const auto capped = std::int32_t(std::min(sum, lastSum_));
        const std::int32_t low = std::min(capped, pivotSum_);
        const std::int32_t d = capped - low; // 0 at and below the pivot
        // N / 2C - 1/2, within 0.05: the value or one less.
        const auto k =
            std::uint32_t(std::int32_t(float(low) * belowSlope_ + float(d) * aboveSlope_));
        // N - 2C k' modulo 2^32, exact as a signed number.
        const auto rho =
            std::int32_t((std::uint32_t(low) << lowShift_) + std::uint32_t(d) * twiceScaledFactor_ +
                         scaledCount_ - k * twiceScaledCount_);
        return k + (rho > lastBelowTwiceScaledCount_ ? 1u : 0u);
    }

    std::uint32_t top_ = 0;
    std::int32_t pivotSum_ = 0;                  // pivot x count
    std::uint32_t lastSum_ = 0;                  // sums above it give the value it gives
    float belowSlope_ = 1;                       // 1 / count, rounded
    float aboveSlope_ = 1;                       // factor / count, rounded
    std::uint32_t lowShift_ = 1;                 // s + 1
    std::uint32_t twiceScaledFactor_ = 2;        // 2G, modulo 2^32
    std::uint32_t scaledCount_ = 1;              // C
    std::uint32_t twiceScaledCount_ = 2;         // 2C
    std::int32_t lastBelowTwiceScaledCount_ = 1; // 2C - 1
};

} // namespace qv::kernels::parts
