#include "HandLoops.hpp"

#include <algorithm>
#include <cstring>
#include <omp.h>

namespace qv::bench::hand {

namespace {

template <class T>
T* row(Plane plane, std::size_t y) {
    return reinterpret_cast<T*>(static_cast<unsigned char*>(plane.data) + y * plane.rowBytes);
}

std::uint32_t saturatingAdd(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t sum = a + b;
    return sum < a ? 0xFFFFFFFFu : sum;
}

template <class S>
void accumulate(Plane frame, Plane sum, Extent e) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const S* __restrict in = row<const S>(frame, y);
        std::uint32_t* __restrict out = row<std::uint32_t>(sum, y);
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = saturatingAdd(out[i], in[i]);
        }
    }
}

template <class S>
void lightTrail(Plane frame, Plane sum, Plane maximum, Extent e) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const S* __restrict in = row<const S>(frame, y);
        std::uint32_t* __restrict total = row<std::uint32_t>(sum, y);
        std::uint32_t* __restrict top = row<std::uint32_t>(maximum, y);
        for (std::size_t i = 0; i < n; ++i) {
            total[i] = saturatingAdd(total[i], in[i]);
            top[i] = std::max<std::uint32_t>(top[i], in[i]);
        }
    }
}

template <class P>
void average(Plane out, Plane sum, Extent e, std::uint32_t count) {
    const std::size_t n = e.width * e.channels;
    const float inverse = 1.0f / float(count);
    const float top = float(P(~P(0)));
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint32_t* __restrict in = row<const std::uint32_t>(sum, y);
        P* __restrict photo = row<P>(out, y);
        for (std::size_t i = 0; i < n; ++i) {
            photo[i] = P(std::min(top, float(in[i]) * inverse + 0.5f));
        }
    }
}

template <class S>
void fold(Plane frame, Plane maximum, Extent e, std::uint32_t margin) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const S* __restrict in = row<const S>(frame, y);
        std::uint32_t* __restrict top = row<std::uint32_t>(maximum, y);
        for (std::size_t i = 0; i < n; ++i) {
            top[i] = in[i] > top[i] + margin ? in[i] : top[i];
        }
    }
}

template <class P>
void copyOut(Plane maximum, Plane out, Extent e) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint32_t* __restrict in = row<const std::uint32_t>(maximum, y);
        P* __restrict photo = row<P>(out, y);
        for (std::size_t i = 0; i < n; ++i) {
            photo[i] = P(std::min<std::uint32_t>(in[i], P(~P(0))));
        }
    }
}

} // namespace

void setThreads(std::size_t threads) {
    omp_set_num_threads(int(threads));
}

void accumulate16(Plane frame, Plane sum, Extent e) {
    accumulate<std::uint16_t>(frame, sum, e);
}
void accumulate8(Plane frame, Plane sum, Extent e) {
    accumulate<std::uint8_t>(frame, sum, e);
}
void lightTrail16(Plane frame, Plane sum, Plane maximum, Extent e) {
    lightTrail<std::uint16_t>(frame, sum, maximum, e);
}
void lightTrail8(Plane frame, Plane sum, Plane maximum, Extent e) {
    lightTrail<std::uint8_t>(frame, sum, maximum, e);
}
void average16(Plane out, Plane sum, Extent e, std::uint32_t count) {
    average<std::uint16_t>(out, sum, e, count);
}
void average8(Plane out, Plane sum, Extent e, std::uint32_t count) {
    average<std::uint8_t>(out, sum, e, count);
}
void fold16(Plane frame, Plane maximum, Extent e, std::uint32_t margin) {
    fold<std::uint16_t>(frame, maximum, e, margin);
}
void fold8(Plane frame, Plane maximum, Extent e, std::uint32_t margin) {
    fold<std::uint8_t>(frame, maximum, e, margin);
}
void copyOut16(Plane maximum, Plane out, Extent e) {
    copyOut<std::uint16_t>(maximum, out, e);
}
void copyOut8(Plane maximum, Plane out, Extent e) {
    copyOut<std::uint8_t>(maximum, out, e);
}

void boostedAverage(Plane out, Plane sum, Extent e, std::uint32_t count, float factor,
                    std::uint32_t pivot) {
    const std::size_t n = e.width * e.channels;
    const float inverse = 1.0f / float(count);
    const float stretch = factor - 1.0f;
    const float from = float(pivot);
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint32_t* __restrict in = row<const std::uint32_t>(sum, y);
        std::uint16_t* __restrict photo = row<std::uint16_t>(out, y);
        for (std::size_t i = 0; i < n; ++i) {
            const float mean = float(in[i]) * inverse;
            const float value = mean + stretch * std::max(0.0f, mean - from);
            photo[i] = std::uint16_t(std::min(65535.0f, value + 0.5f));
        }
    }
}

void nightSum(Plane frame, Plane sum, Extent e, const std::uint32_t (&lower)[3],
              const std::uint32_t (&upper)[3]) {
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        // RGGB: red and green on even rows, green and blue on odd ones.
        const std::uint32_t lowEven = lower[y & 1], lowOdd = lower[(y & 1) + 1];
        const std::uint32_t highEven = upper[y & 1], highOdd = upper[(y & 1) + 1];
        const std::uint16_t* __restrict in = row<const std::uint16_t>(frame, y);
        std::uint32_t* __restrict out = row<std::uint32_t>(sum, y);
        for (std::size_t x = 0; x + 1 < e.width; x += 2) {
            out[x] = saturatingAdd(out[x], std::clamp<std::uint32_t>(in[x], lowEven, highEven));
            out[x + 1] =
                saturatingAdd(out[x + 1], std::clamp<std::uint32_t>(in[x + 1], lowOdd, highOdd));
        }
    }
}

void nightResult(Plane out, Plane sum, Extent e, std::uint32_t count, std::uint32_t black,
                 const std::uint32_t (&upper)[3], float gain) {
    const float inverse = 1.0f / float(count);
    const float level = float(black);
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const float capEven = float(std::min(65535u, upper[y & 1]));
        const float capOdd = float(std::min(65535u, upper[(y & 1) + 1]));
        const std::uint32_t* __restrict in = row<const std::uint32_t>(sum, y);
        std::uint16_t* __restrict photo = row<std::uint16_t>(out, y);
        for (std::size_t x = 0; x + 1 < e.width; x += 2) {
            const float even = float(in[x]) * inverse;
            const float odd = float(in[x + 1]) * inverse;
            const float a = even > level ? level + gain * (even - level) : even;
            const float b = odd > level ? level + gain * (odd - level) : odd;
            photo[x] = std::uint16_t(std::min(capEven, std::max(0.0f, a + 0.5f)));
            photo[x + 1] = std::uint16_t(std::min(capOdd, std::max(0.0f, b + 0.5f)));
        }
    }
}

void frameCopy(Plane frame, Plane filter, Extent e) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint16_t* __restrict in = row<const std::uint16_t>(frame, y);
        std::uint32_t* __restrict out = row<std::uint32_t>(filter, y);
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = in[i];
        }
    }
}

void filteredSum(Plane frame, Plane newer, Plane older, Plane sum, Extent e) {
    const std::size_t n = e.width * e.channels;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint16_t* __restrict in = row<const std::uint16_t>(frame, y);
        const std::uint32_t* __restrict b = row<const std::uint32_t>(newer, y);
        std::uint32_t* __restrict c = row<std::uint32_t>(older, y);
        std::uint32_t* __restrict total = row<std::uint32_t>(sum, y);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t v = in[i];
            const std::uint32_t median =
                std::max(std::min(v, b[i]), std::min(std::max(v, b[i]), c[i]));
            total[i] = saturatingAdd(total[i], median);
            c[i] = v;
        }
    }
}

void clear(Plane plane, Extent e, std::size_t bytesPerTexel) {
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        std::memset(row<unsigned char>(plane, y), 0, e.width * bytesPerTexel);
    }
}

void proAccumulate(Plane frame, Plane sum, Extent e) {
    const std::size_t n = e.width * e.channels;
    constexpr float scale = 1.0f / 65535.0f;
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint16_t* __restrict in = row<const std::uint16_t>(frame, y);
        float* __restrict out = row<float>(sum, y);
        for (std::size_t i = 0; i < n; ++i) {
            out[i] += float(in[i]) * scale;
        }
    }
}

void proAverage(Plane out, Plane sum, Extent e, std::uint32_t count) {
    const std::size_t n = e.width * e.channels;
    const float scale = 65535.0f / float(count);
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const float* __restrict in = row<const float>(sum, y);
        std::uint16_t* __restrict photo = row<std::uint16_t>(out, y);
        for (std::size_t i = 0; i < n; ++i) {
            photo[i] = std::uint16_t(std::min(65535.0f, std::max(0.0f, in[i] * scale + 0.5f)));
        }
    }
}

void pairAverage(Plane out, Plane first, Plane second, Extent e, std::uint32_t count,
                 std::uint32_t gain) {
    const std::size_t n = e.width * e.channels;
    const float scale = float(gain) / float(count);
#pragma omp parallel for schedule(static)
    for (std::size_t y = 0; y < e.height; ++y) {
        const std::uint32_t* __restrict a = row<const std::uint32_t>(first, y);
        const std::uint32_t* __restrict b = row<const std::uint32_t>(second, y);
        std::uint16_t* __restrict photo = row<std::uint16_t>(out, y);
        for (std::size_t i = 0; i < n; ++i) {
            photo[i] = std::uint16_t(std::min(65535.0f, float(a[i] + b[i]) * scale + 0.5f));
        }
    }
}

} // namespace qv::bench::hand
