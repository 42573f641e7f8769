#include "camera/HistogramProcessor.hpp"

#include "platform/imaging/PixelBufferImage.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace qv {

namespace {

constexpr std::size_t channels = 3; // red, green, blue; alpha is not counted

// Counts rows of 8-bit RGBA pixels. Neighbouring pixels count into different copies of the
// bins, so a run of equal values (a flat sky, a black frame) does not make every increment
// wait for the one before; the copies are summed at the end. The 32-bit bins are emptied
// into the 64-bit totals before any of them could overflow.
class ByteCounter {
public:
    // Counts a row whose pixels hold red at byte `redByte` and blue at byte 2 - `redByte`
    // (0 for RGBA, 2 for BGRA).
    template <std::size_t redByte = 0>
    void countRow(const std::uint8_t* pixels, std::size_t width) {
        constexpr std::size_t blueByte = 2 - redByte;
        if (sinceFlush_ + width > std::numeric_limits<std::uint32_t>::max()) {
            flush();
        }
        sinceFlush_ += width;
        std::size_t x = 0;
        for (; x + copies <= width; x += copies, pixels += 4 * copies) {
            for (std::size_t c = 0; c < copies; ++c) {
                ++bins_[c][0][pixels[4 * c + redByte]];
                ++bins_[c][1][pixels[4 * c + 1]];
                ++bins_[c][2][pixels[4 * c + blueByte]];
            }
        }
        for (std::size_t c = 0; x < width; ++x, ++c, pixels += 4) {
            ++bins_[c][0][pixels[redByte]];
            ++bins_[c][1][pixels[1]];
            ++bins_[c][2][pixels[blueByte]];
        }
    }

    Histogram finish() {
        flush();
        Histogram histogram;
        histogram.red.assign(totals_[0].begin(), totals_[0].end());
        histogram.green.assign(totals_[1].begin(), totals_[1].end());
        histogram.blue.assign(totals_[2].begin(), totals_[2].end());
        return histogram;
    }

private:
    static constexpr std::size_t copies = 4;

    void flush() {
        for (auto& copy : bins_) {
            for (std::size_t channel = 0; channel < channels; ++channel) {
                for (std::size_t bin = 0; bin < HistogramProcessor::binCount; ++bin) {
                    totals_[channel][bin] += copy[channel][bin];
                }
                copy[channel].fill(0);
            }
        }
        sinceFlush_ = 0;
    }

    using Bins = std::array<std::uint32_t, HistogramProcessor::binCount>;
    alignas(64) std::array<std::array<Bins, channels>, copies> bins_{};
    std::array<std::array<std::uint64_t, HistogramProcessor::binCount>, channels> totals_{};
    std::uint64_t sinceFlush_ = 0;
};

// Every pixel of the 8-bit row has alpha 255, so it needs no premultiplying.
bool isOpaque(const std::uint8_t* row, std::size_t width) {
    std::uint32_t all = 0xffffffff;
    for (std::size_t x = 0; x < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, row + 4 * x, sizeof pixel);
        all &= pixel;
    }
    std::uint8_t bytes[4];
    std::memcpy(bytes, &all, sizeof bytes);
    return bytes[3] == 0xff;
}

std::uint8_t premultiplied(unsigned value, unsigned alpha) {
    return std::uint8_t((value * alpha + 127) / 255);
}

std::uint8_t toByte(std::uint16_t value) {
    return std::uint8_t((unsigned(value) * 255 + 32767) / 65535);
}

// An 8-bit row with premultiplied alpha, its channels in the order they came.
void premultiplyRow(const std::uint8_t* in, std::size_t width, std::uint8_t* out) {
    for (std::size_t x = 0; x < width; ++x, in += 4, out += 4) {
        out[0] = premultiplied(in[0], in[3]);
        out[1] = premultiplied(in[1], in[3]);
        out[2] = premultiplied(in[2], in[3]);
        out[3] = in[3];
    }
}

// The row as 8-bit RGBA with premultiplied alpha, written into `out`.
void convertRow(const platform::RgbaImage& image, std::size_t y, std::uint8_t* out) {
    const std::size_t width = image.width();
    if (image.bitsPerChannel() == 8) {
        premultiplyRow(image.row8(y).data(), width, out);
        return;
    }
    const std::uint16_t* in = image.row16(y).data();
    for (std::size_t x = 0; x < width; ++x, in += 4, out += 4) {
        const unsigned alpha = toByte(in[3]);
        out[0] = premultiplied(toByte(in[0]), alpha);
        out[1] = premultiplied(toByte(in[1]), alpha);
        out[2] = premultiplied(toByte(in[2]), alpha);
        out[3] = std::uint8_t(alpha);
    }
}

} // namespace

std::optional<Histogram> HistogramProcessor::calculateHistogram(const platform::RgbaImage& image) {
    if (image.empty()) {
        return std::nullopt;
    }
    const std::size_t width = image.width();
    ByteCounter counter;
    std::vector<std::uint8_t> converted; // one row, made only for rows that need it
    for (std::size_t y = 0; y < image.height(); ++y) {
        if (image.bitsPerChannel() == 8 && isOpaque(image.row8(y).data(), width)) {
            counter.countRow(image.row8(y).data(), width);
            continue;
        }
        converted.resize(4 * width);
        convertRow(image, y, converted.data());
        counter.countRow(converted.data(), width);
    }
    return counter.finish();
}

std::optional<Histogram>
HistogramProcessor::calculateHistogram(const platform::PixelBuffer& frame) {
    if (frame.pixelFormat() != platform::pixelformat::bgra32) {
        const auto image = platform::imaging::imageFromPixelBuffer(frame);
        return image ? calculateHistogram(*image) : std::nullopt;
    }
    const std::size_t width = frame.width();
    if (width == 0 || frame.height() == 0) {
        return std::nullopt;
    }
    ByteCounter counter;
    std::vector<std::uint8_t> converted; // one row, made only for rows that need it
    for (std::size_t y = 0; y < frame.height(); ++y) {
        const std::uint8_t* row = frame.row<std::uint8_t>(y);
        if (!isOpaque(row, width)) {
            converted.resize(4 * width);
            premultiplyRow(row, width, converted.data());
            row = converted.data();
        }
        counter.countRow<2>(row, width);
    }
    return counter.finish();
}

} // namespace qv
