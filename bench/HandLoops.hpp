#pragma once

#include <cstddef>
#include <cstdint>

// Hand-written loops doing the merge passes' arithmetic over the same
// textures: the speed reference of merge_passes_bench. Each is one OpenMP
// loop over rows with the plain arithmetic a programmer would write (float
// means rounded by adding one half, sums added where they cannot overflow),
// built with -O3 -march=native -fno-trapping-math and as many threads as the
// merge passes get.
// They are not exact where the passes are (ties of the averages); they tell
// how fast the memory and the cores go, not what the right answer is.
namespace qv::bench::hand {

// One texture's memory: its first row and the bytes from one row to the next.
struct Plane {
    void* data;
    std::size_t rowBytes;
};

// Width in texels, channels per texel, rows.
struct Extent {
    std::size_t width;
    std::size_t channels;
    std::size_t height;
};

void setThreads(std::size_t threads);

// sum += frame, frame of 16-bit (Bayer) or 8-bit (RGBA) samples.
void accumulate16(Plane frame, Plane sum, Extent extent);
void accumulate8(Plane frame, Plane sum, Extent extent);
// sum += frame and maximum = max(maximum, frame).
void lightTrail16(Plane frame, Plane sum, Plane maximum, Extent extent);
void lightTrail8(Plane frame, Plane sum, Plane maximum, Extent extent);
// out = sum / count rounded, capped at the photo's top.
void average16(Plane out, Plane sum, Extent extent, std::uint32_t count);
void average8(Plane out, Plane sum, Extent extent, std::uint32_t count);
// out = mean + (factor - 1) x max(0, mean - pivot), rounded, capped.
void boostedAverage(Plane out, Plane sum, Extent extent, std::uint32_t count, float factor,
                    std::uint32_t pivot);
// RGGB: sum += frame clamped to the limits of its colour.
void nightSum(Plane frame, Plane sum, Extent extent, const std::uint32_t (&lower)[3],
              const std::uint32_t (&upper)[3]);
// RGGB: out = black + gain x (mean - black) above black, the mean below, capped per colour.
void nightResult(Plane out, Plane sum, Extent extent, std::uint32_t count, std::uint32_t black,
                 const std::uint32_t (&upper)[3], float gain);
// filter = frame, widened.
void frameCopy(Plane frame, Plane filter, Extent extent);
// sum += median(frame, newer, older); older = frame.
void filteredSum(Plane frame, Plane newer, Plane older, Plane sum, Extent extent);
// maximum = frame where frame > maximum + margin.
void fold16(Plane frame, Plane maximum, Extent extent, std::uint32_t margin);
void fold8(Plane frame, Plane maximum, Extent extent, std::uint32_t margin);
// out = min(maximum, the photo's top).
void copyOut16(Plane maximum, Plane out, Extent extent);
void copyOut8(Plane maximum, Plane out, Extent extent);
// Every byte of the rows 0.
void clear(Plane plane, Extent extent, std::size_t bytesPerTexel);
// Float sums of 16-bit normalised samples, and their mean back into 16 bits.
void proAccumulate(Plane frame, Plane sum, Extent extent);
void proAverage(Plane out, Plane sum, Extent extent, std::uint32_t count);
// out = gain x (first + second) / count, rounded, capped.
void pairAverage(Plane out, Plane first, Plane second, Extent extent, std::uint32_t count,
                 std::uint32_t gain);

} // namespace qv::bench::hand
