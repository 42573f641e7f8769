#include "platform/imaging/RawMosaic.hpp"

#include "platform/imaging/detail/RawDeveloperProcess.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

namespace qv::platform::imaging {

namespace {

Result<RawMosaic> failure(const std::string& why) {
    return Result<RawMosaic>::failure("RAW mosaic: " + why);
}

// The Bayer format of a 2x2 pattern of colours (0 red, 1 green, 2 blue).
std::optional<FourCharCode> formatOf(const std::uint8_t (&pattern)[4]) {
    for (FourCharCode f : {pixelformat::bayer14RGGB, pixelformat::bayer14GRBG,
                           pixelformat::bayer14BGGR, pixelformat::bayer14GBRG}) {
        const auto q = *bayerPattern(f);
        if (std::equal(std::begin(pattern), std::end(pattern), q.begin(),
                       [](std::uint8_t a, CfaColor b) { return a == std::uint8_t(b); })) {
            return f;
        }
    }
    return std::nullopt;
}

} // namespace

Result<RawMosaic> readRawMosaic(FileBytes file) {
    auto unpacked = detail::unpackMosaicInChildProcess(detail::rawDeveloperProgram(), file);
    if (!unpacked) {
        return failure(unpacked.error());
    }
    const detail::MosaicAnswer& answer = unpacked->header;
    const auto format = formatOf(answer.pattern);
    if (!format) {
        return failure("not a 2x2 Bayer pattern");
    }
    RawMosaic mosaic;
    mosaic.pixelBuffer = PixelBuffer::make(answer.width, answer.height, *format);
    if (!mosaic.pixelBuffer) {
        return failure("no memory for the mosaic");
    }
    PixelBuffer& out = *mosaic.pixelBuffer;
    out.lock();
    for (std::size_t y = 0; y < answer.height; ++y) {
        std::memcpy(out.row<std::uint16_t>(y), unpacked->samples.data() + y * answer.width,
                    std::size_t(answer.width) * 2);
    }
    out.unlock();
    mosaic.blackLevel = answer.blackLevel;
    mosaic.whiteLevel = answer.whiteLevel;
    mosaic.asShotNeutral = {answer.asShotNeutral[0], answer.asShotNeutral[1],
                            answer.asShotNeutral[2]};
    mosaic.exposureTime = answer.exposureTime;
    mosaic.iso = answer.iso;
    return mosaic;
}

} // namespace qv::platform::imaging
