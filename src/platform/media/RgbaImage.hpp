#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv::platform {

// How an image's stored rows map onto the upright picture, numbered as the
// Exif/TIFF Orientation tag numbers them.
enum class ImageOrientation : std::uint8_t {
    up = 1,
    upMirrored = 2,
    down = 3,
    downMirrored = 4,
    leftMirrored = 5,
    right = 6,
    rightMirrored = 7,
    left = 8,
};

// Whether the orientation turns the picture a quarter (its upright width is the stored
// height).
bool swapsSides(ImageOrientation orientation);

// The colour space an image's values are in. linearSRGB has the sRGB
// primaries and white point with a linear transfer curve.
enum class ColorSpace : std::uint8_t { sRGB, displayP3, linearSRGB };

// A decoded picture in memory: packed rows of R, G, B, A with 8 or 16 bits per
// channel, alpha not premultiplied. scale is pixels per point for display, as
// the phone's images count it (1 for decoded files: one pixel a point; 2 shows 300
// pixels 150 points wide); orientation says how to show the stored rows.
class RgbaImage {
public:
    RgbaImage() = default;
    // A zeroed image; empty when a side is zero or bitsPerChannel is not 8 or 16.
    RgbaImage(std::size_t width, std::size_t height, int bitsPerChannel,
              ColorSpace colorSpace = ColorSpace::sRGB);

    std::size_t width() const { return w; }
    std::size_t height() const { return h; }
    int bitsPerChannel() const { return bits; }
    bool empty() const { return w == 0 || h == 0; }
    std::size_t samplesPerRow() const { return w * 4; }

    ColorSpace colorSpace = ColorSpace::sRGB;
    double scale = 1.0;
    ImageOrientation orientation = ImageOrientation::up;

    // The samples of one row (R, G, B, A per pixel); empty for the other depth.
    std::span<std::uint8_t> row8(std::size_t y);
    std::span<const std::uint8_t> row8(std::size_t y) const;
    std::span<std::uint16_t> row16(std::size_t y);
    std::span<const std::uint16_t> row16(std::size_t y) const;

    // One channel of one pixel scaled to [0, 1], whatever the depth.
    double normalized(std::size_t x, std::size_t y, std::size_t channel) const;

    friend bool operator==(const RgbaImage&, const RgbaImage&) = default;

private:
    std::size_t w = 0;
    std::size_t h = 0;
    int bits = 8;
    std::vector<std::uint8_t> samples8;
    std::vector<std::uint16_t> samples16;
};

} // namespace qv::platform
