#include "engine/kernels/RoundedDivider.hpp"

#include "engine/kernels/KernelParts.hpp"

namespace qv::kernels::parts {

template <class P>
inline __attribute__((always_inline)) void
RoundedDivider::divideAll(const std::uint32_t* __restrict in, P* __restrict out,
                          std::size_t n) const {
    const RoundedDivider divider = *this; // fields in registers, not reloaded per value
    if (divider.wide_) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = P(divider.exact(in[i]));
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = P(divider.narrow(in[i]));
    }
}

QV_KERNEL_CLONES
void RoundedDivider::apply(const std::uint32_t* __restrict in, std::uint8_t* __restrict out,
                           std::size_t n) const {
    divideAll(in, out, n);
}

QV_KERNEL_CLONES
void RoundedDivider::apply(const std::uint32_t* __restrict in, std::uint16_t* __restrict out,
                           std::size_t n) const {
    divideAll(in, out, n);
}

} // namespace qv::kernels::parts
