#include "MosaicAnswerWriter.hpp"

#include "platform/imaging/detail/DevelopmentAnswer.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv::platform::imaging::developer {

namespace {

void writeProblem(std::string_view message) {
    detail::MosaicAnswer answer;
    answer.status = -1;
    answer.messageBytes = std::uint32_t(message.size());
    writeAll(&answer, sizeof answer);
    writeAll(message.data(), message.size());
}

} // namespace

void writeMosaicAnswer(LibRaw& raw, int code) {
    if (code != LIBRAW_SUCCESS) {
        writeProblem(libraw_strerror(code));
        return;
    }
    const auto& sizes = raw.imgdata.sizes;
    const std::uint16_t* samples = raw.imgdata.rawdata.raw_image;
    if (raw.imgdata.idata.filters < 1000 || raw.imgdata.idata.colors != 3 || samples == nullptr) {
        writeProblem("not a Bayer mosaic of red, green and blue");
        return;
    }
    const std::size_t width = sizes.width;
    const std::size_t height = sizes.height;
    const std::size_t pitch = sizes.raw_pitch / 2;
    if (width < 2 || height < 2 || sizes.top_margin + height > sizes.raw_height ||
        sizes.left_margin + width > sizes.raw_width || pitch < sizes.raw_width) {
        writeProblem("the visible area lies outside the mosaic");
        return;
    }
    detail::MosaicAnswer answer;
    for (int i = 0; i < 4; ++i) {
        const int c = raw.COLOR(i / 2, i % 2);
        answer.pattern[i] = std::uint8_t(c == 3 ? 1 : c);
    }
    // Black: the common level, per colour, and per position of a repeating pattern.
    const auto& color = raw.imgdata.rawdata.color;
    const auto blackAt = [&](std::size_t y, std::size_t x) {
        double b = color.black + color.cblack[raw.COLOR(int(y), int(x))];
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
    answer.width = std::uint32_t(width);
    answer.height = std::uint32_t(height);
    answer.blackLevel = std::uint32_t(std::lround(blackSum / 4));
    answer.whiteLevel = std::max<std::uint32_t>(color.maximum, answer.blackLevel + 1);
    const float* multipliers = color.cam_mul;
    if (multipliers[0] > 0 && multipliers[1] > 0 && multipliers[2] > 0) {
        answer.asShotNeutral[0] = multipliers[1] / multipliers[0];
        answer.asShotNeutral[2] = multipliers[1] / multipliers[2];
    }
    answer.exposureTime = raw.imgdata.other.shutter;
    answer.iso = raw.imgdata.other.iso_speed;
    writeAll(&answer, sizeof answer);
    std::vector<std::uint16_t> row(width);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint16_t* in = samples + (y + sizes.top_margin) * pitch + sizes.left_margin;
        for (std::size_t x = 0; x < width; ++x) {
            // Each photosite's own black becomes the common one.
            const double v = double(in[x]) - blackAt(y, x) + answer.blackLevel;
            row[x] = std::uint16_t(std::clamp(v, 0.0, 65535.0));
        }
        writeAll(row.data(), width * 2);
    }
}

} // namespace qv::platform::imaging::developer
