#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace qv::kernels::parts {

// Divides 32-bit sums by one count for a whole pass, rounding to nearest
// with halves up and capping the quotient at `top` (at most 65535): exactly
// min(top, (sum + count / 2) / count). The sum is first capped where the
// quotient reaches `top`; a float estimate of the quotient is then at most
// one away from the exact one and is corrected by the remainder in 32-bit
// integers, so row loops vectorise (an integer division or 64-bit arithmetic
// per channel does not). Counts from 2^30 up, which no run reaches, take the
// exact 64-bit division, since their remainder would not fit a signed 32-bit
// value.
class RoundedDivider {
public:
    RoundedDivider(std::uint32_t count, std::uint32_t top)
        : count_(count), half_(count / 2), inverse_(1.0f / float(count)), top_(top),
          wide_(count >= (1u << 30)) {
        const std::uint64_t cap = std::uint64_t(top) * count - half_;
        cap_ =
            std::uint32_t(std::min<std::uint64_t>(cap, std::numeric_limits<std::uint32_t>::max()));
    }

    std::uint32_t operator()(std::uint32_t sum) const { return wide_ ? exact(sum) : narrow(sum); }

    // out[i] = the rounded quotient of in[i], for n values.
    void apply(const std::uint32_t* __restrict in, std::uint8_t* __restrict out,
               std::size_t n) const;
    void apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
               std::size_t n) const;

    // For the row loops of other kernels: true when the count needs the
    // 64-bit division, else narrow() is the quotient.
    bool wide() const { return wide_; }
    std::uint32_t narrow(std::uint32_t sum) const {
        const std::uint32_t s = std::min(sum, cap_);
        const std::uint32_t n = s + half_; // may wrap: only the remainder below matters
        std::uint32_t q = std::uint32_t(std::int32_t(float(s) * inverse_));
        const std::int32_t remainder = std::int32_t(n - q * count_); // in [-count, 2 count)
        q -= remainder < 0 ? 1u : 0u;
        q += remainder >= std::int32_t(count_) ? 1u : 0u;
        return q;
    }

private:
    template <class P>
    void divideAll(const std::uint32_t* __restrict in, P* __restrict out, std::size_t n) const;
    std::uint32_t exact(std::uint32_t sum) const {
        const std::uint64_t q = (std::uint64_t(sum) + half_) / count_;
        return std::uint32_t(std::min<std::uint64_t>(q, top_));
    }

    std::uint32_t count_;
    std::uint32_t half_;
    float inverse_;
    std::uint32_t top_;
    std::uint32_t cap_; // sums from here up give `top`
    bool wide_;
};

} // namespace qv::kernels::parts
