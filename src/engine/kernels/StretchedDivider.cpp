#include "engine/kernels/StretchedDivider.hpp"

#include "engine/kernels/KernelParts.hpp"

#include <cmath>
#include <optional>

namespace qv::kernels::parts {

namespace {

constexpr std::uint64_t largest = 0xFFFFFFFFu;

// The factor as m / 2^n with n up to 16, when m is then a whole number.
struct Fraction {
    std::uint64_t numerator;
    std::uint32_t shift;
};
std::optional<Fraction> asFraction(double factor) {
    double scaled = factor;
    std::uint32_t shift = 0;
    while (scaled != std::floor(scaled) && shift < 16) {
        scaled *= 2; // exact
        ++shift;
    }
    if (scaled != std::floor(scaled) || scaled < 1 || scaled > 65536) {
        return std::nullopt;
    }
    return Fraction{std::uint64_t(scaled), shift};
}

} // namespace

StretchedDivider::StretchedDivider(std::uint32_t count, double factor, std::uint32_t pivot,
                                   std::uint32_t top)
    : divider_(count, top) {
    if (!std::isfinite(factor)) {
        factor = 1.0;
    }
    const std::uint64_t pivotSum = std::uint64_t(pivot) * count;
    count_ = double(count);
    inverse_ = 1.0 / count_;
    factor_ = factor;
    factorOverCount_ = factor * inverse_;
    pivot_ = double(pivot);
    pivotSum_ = double(std::min<std::uint64_t>(pivotSum, std::uint64_t(1) << 53));
    top_ = double(top);
    chooseSingle(count, pivotSum);

    const auto fraction = asFraction(factor);
    const std::uint64_t scaledCount = std::uint64_t(count) << (fraction ? fraction->shift : 0);
    if (!fraction || scaledCount >= (1u << 30)) {
        return;
    }
    // Everything in units of 1 / 2^n: the stretched sum of a sum, the
    // smallest one that gives `top`, and the smallest sum that reaches it
    // (the stretched sum grows by 2^n a step below the pivot sum, by m above).
    const std::uint64_t m = fraction->numerator;
    const std::uint32_t n = fraction->shift;
    const bool stretches = pivotSum <= largest; // no 32-bit sum lies above a larger one
    const auto stretched = [&](std::uint64_t s) {
        return stretches && s > pivotSum ? (pivotSum << n) + m * (s - pivotSum) : s << n;
    };
    const std::uint64_t topSum = std::uint64_t(top) * scaledCount - scaledCount / 2;
    const std::uint64_t unit = std::uint64_t(1) << n;
    const std::uint64_t bound = !stretches || (pivotSum << n) >= topSum
                                    ? (topSum + unit - 1) / unit
                                    : pivotSum + (topSum - (pivotSum << n) + m - 1) / m;
    if (stretched(std::min(bound, largest)) > largest) {
        return;
    }
    divider_ = RoundedDivider(std::uint32_t(scaledCount), top);
    integer_ = true;
    saturatesSafely_ = bound <= largest;
    bound_ = std::uint32_t(std::min(bound, largest));
    pivotSumInteger_ = std::uint32_t(stretches ? pivotSum : largest);
    pivotSumScaled_ = std::uint32_t(stretched(std::min(pivotSum, std::uint64_t(bound_))));
    scale_ = std::uint32_t(m);
    shift_ = n;
}

void StretchedDivider::chooseSingle(std::uint32_t count, std::uint64_t pivotSum) {
    // The conditions the single form's proof rests on (singleEstimate).
    const double above = factor_ / count_;
    if (!(factor_ > 0) || count > (1u << 20) || above < 0x1p-60 || above > 0x1p16 ||
        pivot_ > 65535 || pivotSum >= (1u << 24)) {
        return;
    }
    // high = the scale in single precision; low = the rest (exact in double),
    // rounded: within 2^-24 x 2^-24 of the scale.
    const auto split = [](double scale, float& high, float& low) {
        high = float(scale);
        low = float(scale - double(high));
    };
    split(above, aboveHigh_, aboveLow_);
    split(1.0 / count_, belowHigh_, belowLow_);
    pivotSumSingle_ = std::int32_t(pivotSum);
    pivotSingle_ = float(pivot_);
    topSingle_ = float(top_);
    // Below 2^-6, a distance of 2^24 or more (not exact as a float) can give
    // a value under `top`.
    single_ = above < 0x1p-6 ? Single::checkingWide : Single::plain;
}

// Writes the single-precision estimate of every value, capped at tops[i],
// and returns nonzero
// when some of them may differ from the exact rounding (zero: all are exact).
//
// Why. Let d = sum - pivot x count, signed, q its scale (factor / count above
// 0, 1 / count at and below) and v = d x q, so the value is
// pivot + floor(v + 1/2) (below the pivot, sum / count = pivot + d / count).
// u = 2^-24 is the unit roundoff of a float, e = 2^-22 the margin, M = 1.5 x 2^23.
// - high + low is within 2^-53 q + 2^-48 q < 2^-47.9 q of q (the quotient in
//   double precision, then the rest rounded to a float).
// - For d < 2^24, D = d exactly (and d > -2^24, as pivot x count < 2^24).
// - k = fl(D x high + M) - M: while |D x high| < 2^22 the sum lies where the
//   floats are the whole numbers, so k is D x high rounded to one, exactly.
// - r = fl(D x high - k) (fused): |r| <= 1/2, rounded by at most u / 2.
// - f = fl(D x low + fl(r + (1/2 + e))) estimates F = v + 1/2 + e - k. While
//   |D x high| < 2^17, |D x low| < 2^-7 and both sums stay below 2, rounding by
//   at most u each, and d x (high + low) is within 2^-30.9 of v:
//   |f - F| < u / 2 + 2u + 2^-30.9 < e.
// - So f lies in (w, w + 2e), w = v + 1/2 - k, and floor(f) = floor(w)
//   unless a whole number lies in (w, f], which leaves f - floor(f) < 2e:
//   such values above the pivot are counted. At and below it, w is a
//   multiple of 1 / (2 count) >= 2e (count <= 2^20), so no whole number lies
//   in (w, w + 2e), and |v| <= pivot < 2^17.
// - From D x high >= 2^17 on, v > 65536 and k + floor(f) > 65536: both
//   the estimate and the exact value are capped. A distance of 2^24 or more
//   (capped at 2^30, which only lowers it) converts with an error under u: at
//   a scale of 2^-6 or more D x high >= 2^18 (1 - u), else it is counted
//   while k < 2^17.
template <StretchedDivider::Single form, class P>
inline __attribute__((always_inline)) std::int32_t
StretchedDivider::singleEstimate(const std::uint32_t* __restrict in, P* __restrict out,
                                 std::size_t n, const float* __restrict tops) const {
    constexpr float margin = 0x1p-22f;
    constexpr float whole = 0x1.8p23f; // M above
    const std::int32_t pivotSum = pivotSumSingle_;
    const float pivot = pivotSingle_;
    const float aboveHigh = aboveHigh_;
    const float aboveLow = aboveLow_;
    const float belowHigh = belowHigh_;
    const float belowLow = belowLow_;
    std::int32_t doubtful = 0; // as wide as a float, so the loop keeps one lane width
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t sum = in[i];
        const std::int32_t distance = std::int32_t(sum > (1u << 30) ? (1u << 30) : sum) - pivotSum;
        const bool above = distance > 0;
        const float d = float(distance);
        const float high = above ? aboveHigh : belowHigh;
        const float low = above ? aboveLow : belowLow;
        const float k = __builtin_fmaf(d, high, whole) - whole;
        const float r = __builtin_fmaf(d, high, -k);
        const float f = __builtin_fmaf(d, low, r + (0.5f + margin));
        const float carry = __builtin_floorf(f);
        bool doubt = above & (f - carry < 2 * margin);
        if constexpr (form == Single::checkingWide) {
            doubt |= (distance >= (1 << 24)) & (k < 0x1p17f);
        }
        doubtful |= std::int32_t(doubt);
        out[i] = P(std::int32_t(std::min(tops[i], pivot + (k + carry))));
    }
    return doubtful;
}

// The single form a block at a time, so a value in doubt costs its block's
// exact rounding, not its row's: 1.26 over 7 frames (as a float, just below
// 1.26) puts the values of the distances 25, 75, 125 and 175 within the
// margin of a half, and dark pixels just above black can give them in every
// row. Value i of a block is capped at tops[i] (caps[i], as a float).
template <class P>
inline __attribute__((always_inline)) void
StretchedDivider::singleBlocks(const std::uint32_t* __restrict in, P* __restrict out, std::size_t n,
                               const float* __restrict tops, const P* __restrict caps) const {
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t m = std::min(block, n - start);
        const std::int32_t doubtful =
            single_ == Single::plain
                ? singleEstimate<Single::plain>(in + start, out + start, m, tops)
                : singleEstimate<Single::checkingWide>(in + start, out + start, m, tops);
        if (doubtful != 0) {
            for (std::size_t i = 0; i < m; ++i) {
                out[start + i] = std::min(P(ofWideSum(double(in[start + i]))), caps[i]);
            }
        }
    }
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
    if (divider.single_ != Single::none) {
        alignas(64) float tops[block];
        alignas(64) P caps[block];
        std::fill_n(tops, block, divider.topSingle_);
        std::fill_n(caps, block, P(divider.top_));
        divider.singleBlocks(in, out, n, tops, caps);
        return;
    }
    // An estimate, exact unless within 2^-26 of a half (its error is below
    // 2^-31; a value too large for that is caught the same way).
    std::int64_t nearHalves = 0; // as wide as a double, so the loop keeps one lane width
    if (divider.factor_ > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const double sum = double(in[i]);
            const bool above = sum > divider.pivotSum_;
            const double base = above ? divider.pivot_ : 0.0; // here, or the loop branches
            const double distance = sum - (above ? divider.pivotSum_ : 0.0);
            const double t =
                __builtin_fma(distance, above ? divider.factorOverCount_ : divider.inverse_, 0.5);
            const double k = __builtin_floor(t);
            const double fraction = t - k;
            nearHalves += (fraction < 0x1p-26) | (fraction > 1 - 0x1p-26);
            out[i] = P(std::int32_t(std::min(divider.top_, base + k)));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const Stretch s = divider.stretchOf(double(in[i]));
            const double t = s.scale * s.distance * divider.inverse_ + 0.5;
            const double k = roundedDown(t);
            const double fraction = t - k;
            nearHalves += (fraction < 0x1p-26) | (fraction > 1 - 0x1p-26);
            out[i] = P(divider.capped(s.base + k));
        }
    }
    if (nearHalves > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = P(divider.ofWideSum(double(in[i])));
        }
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

QV_KERNEL_CLONES
void StretchedDivider::apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
                             std::size_t n, AlternatingCaps caps) const {
    // A block at a time, each capped while it is in the first-level cache: a
    // second pass over a whole row made the night result a third slower.
    static_assert(block % 2 == 0, "every block starts with `first`");
    alignas(64) std::uint16_t cap[block];
    for (std::size_t i = 0; i < block; i += 2) {
        cap[i] = caps.first;
        cap[i + 1] = caps.second;
    }
    const StretchedDivider divider = *this; // fields in registers, not reloaded per value
    if (divider.single_ != Single::none) {
        alignas(64) float tops[block];
        for (std::size_t i = 0; i < block; ++i) {
            tops[i] = std::min(divider.topSingle_, float(cap[i]));
        }
        divider.singleBlocks(in, out, n, tops, cap);
        return;
    }
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t m = std::min(block, n - start);
        std::uint16_t* __restrict values = out + start;
        divider.stretchAll(in + start, values, m);
        for (std::size_t i = 0; i < m; ++i) {
            values[i] = std::min(values[i], cap[i]);
        }
    }
}

} // namespace qv::kernels::parts
