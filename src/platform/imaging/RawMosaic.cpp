#include "platform/imaging/RawMosaic.hpp"

#include <algorithm>
#include <cmath>
#include <libraw/libraw.h>
#include <memory>
#include <optional>

namespace qv::platform::imaging {

namespace {

constexpr double largestArea = 200e6;

Result<RawMosaic> failure(const std::string& why) {
    return Result<RawMosaic>::failure("RAW mosaic: " + why);
}

// The Bayer format of a 2x2 pattern of LibRaw colour indices (0 red, 1 and 3 green, 2 blue).
std::optional<FourCharCode> formatOf(int topLeft, int topRight, int bottomLeft, int bottomRight) {
    const auto c = [](int i) { return i == 3 ? 1 : i; };
    const std::array<int, 4> p{c(topLeft), c(topRight), c(bottomLeft), c(bottomRight)};
    for (FourCharCode f : {pixelformat::bayer14RGGB, pixelformat::bayer14GRBG,
                           pixelformat::bayer14BGGR, pixelformat::bayer14GBRG}) {
        const auto q = *bayerPattern(f);
        if (std::equal(p.begin(), p.end(), q.begin(),
                       [](int a, CfaColor b) { return a == int(b); })) {
            return f;
        }
    }
    return std::nullopt;
}

} // namespace

Result<RawMosaic> readRawMosaic(FileBytes file) {
    // LibRaw keeps large tables inside the object: on the heap, one per call.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    // LibRaw takes a non-const pointer but only reads the buffer.
    int code = raw->open_buffer(const_cast<std::uint8_t*>(file.data()), file.size());
    if (code != LIBRAW_SUCCESS) {
        return failure(libraw_strerror(code));
    }
    const auto& sizes = raw->imgdata.sizes;
    if (double(sizes.raw_width) * double(sizes.raw_height) > largestArea) {
        return failure("larger than 200 megapixels");
    }
    if (raw->imgdata.idata.filters < 1000 || raw->imgdata.idata.colors != 3) {
        return failure("not a Bayer mosaic of red, green and blue");
    }
    const auto format =
        formatOf(raw->COLOR(0, 0), raw->COLOR(0, 1), raw->COLOR(1, 0), raw->COLOR(1, 1));
    if (!format) {
        return failure("not a 2x2 Bayer pattern");
    }
    if ((code = raw->unpack()) != LIBRAW_SUCCESS) {
        return failure(libraw_strerror(code));
    }
    const std::uint16_t* samples = raw->imgdata.rawdata.raw_image;
    if (samples == nullptr) {
        return failure("no mosaic in the file");
    }
    const std::size_t width = sizes.width;
    const std::size_t height = sizes.height;
    const std::size_t pitch = sizes.raw_pitch / 2;
    if (width == 0 || height == 0 || sizes.top_margin + height > sizes.raw_height ||
        sizes.left_margin + width > sizes.raw_width) {
        return failure("the visible area lies outside the mosaic");
    }

    // Black: the common level, per colour, and per position of a repeating pattern.
    const auto& color = raw->imgdata.rawdata.color;
    const auto blackAt = [&](std::size_t y, std::size_t x) {
        double b = color.black + color.cblack[raw->COLOR(int(y), int(x))];
        const unsigned rows = color.cblack[4];
        const unsigned columns = color.cblack[5];
        if (rows > 0 && columns > 0 && 6 + rows * columns <= LIBRAW_CBLACK_SIZE) {
            b += color.cblack[6 + (y % rows) * columns + x % columns];
        }
        return b;
    };
    double blackSum = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        blackSum += blackAt(i / 2, i % 2);
    }
    RawMosaic mosaic;
    mosaic.blackLevel = std::uint32_t(std::lround(blackSum / 4));
    mosaic.whiteLevel = std::max<std::uint32_t>(color.maximum, mosaic.blackLevel + 1);
    mosaic.pixelBuffer = PixelBuffer::make(width, height, *format);
    if (!mosaic.pixelBuffer) {
        return failure("no memory for the mosaic");
    }
    PixelBuffer& out = *mosaic.pixelBuffer;
    out.lock();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint16_t* in = samples + (y + sizes.top_margin) * pitch + sizes.left_margin;
        auto* row = out.row<std::uint16_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            // Each photosite's own black becomes the common one.
            const double v = double(in[x]) - blackAt(y, x) + mosaic.blackLevel;
            row[x] = std::uint16_t(std::clamp(v, 0.0, 65535.0));
        }
    }
    out.unlock();
    const float* multipliers = color.cam_mul;
    if (multipliers[0] > 0 && multipliers[1] > 0 && multipliers[2] > 0) {
        mosaic.asShotNeutral = {multipliers[1] / multipliers[0], 1.0,
                                multipliers[1] / multipliers[2]};
    }
    mosaic.exposureTime = raw->imgdata.other.shutter;
    mosaic.iso = raw->imgdata.other.iso_speed;
    return mosaic;
}

} // namespace qv::platform::imaging
