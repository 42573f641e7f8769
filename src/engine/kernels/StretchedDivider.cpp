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

} // namespace qv::kernels::parts
