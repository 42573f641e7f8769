#pragma once

#include "model/Histogram.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/media/RgbaImage.hpp"

#include <cstddef>
#include <optional>

namespace qv {

// Turns one live frame into the red, green and blue counts the live histogram draws: bin i
// of a channel counts the pixels whose byte in that channel is i, with the pixels taken as
// 8-bit RGBA with premultiplied alpha (a 16-bit image is brought to 8 bits first, a pixel
// that is not opaque is premultiplied; an opaque frame is counted as it is). The counts are
// raw pixel counts: each channel sums to width x height.
//
// An empty image gives no histogram rather than all-zero counts, which the histogram view
// could not scale. Nothing of a frame is kept between calls: each result is a value of its
// own, which a later call never changes.
//
// Threads: one caller at a time (the controller calls it on "video data queue").
class HistogramProcessor {
public:
    static constexpr std::size_t binCount = 256;

    std::optional<Histogram> calculateHistogram(const platform::RgbaImage& image);
    // The same counts for a live frame, read in its own pixels when it is 'BGRA' (no RGBA copy
    // is made), else through the image it converts to; nothing for a frame of another kind.
    // The caller holds the frame locked for reading.
    std::optional<Histogram> calculateHistogram(const platform::PixelBuffer& frame);
};

} // namespace qv
