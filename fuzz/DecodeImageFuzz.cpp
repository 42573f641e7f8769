// Image decoding of every kind this app reads back: JPEG and TIFF as RGBA
// images, DNG as raw samples. Whatever the bytes, each decoder gives an error
// or a picture whose size matches its samples and lies within the limit.

#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>

using namespace qv::platform;
using namespace qv::platform::imaging;

namespace {

void checkPicture(const Result<RgbaImage>& decoded) {
    if (!decoded) {
        QV_FUZZ_CHECK(!decoded.error().empty());
        return;
    }
    const RgbaImage& image = *decoded;
    QV_FUZZ_CHECK(!image.empty());
    QV_FUZZ_CHECK(image.bitsPerChannel() == 8 || image.bitsPerChannel() == 16);
    QV_FUZZ_CHECK(image.width() * image.height() <= maximumPixels);
    const std::size_t last = image.height() - 1;
    const std::size_t samples =
        image.bitsPerChannel() == 8 ? image.row8(last).size() : image.row16(last).size();
    QV_FUZZ_CHECK(samples == image.width() * 4);
}

void checkRaw(const Result<RawImage>& decoded) {
    if (!decoded) {
        QV_FUZZ_CHECK(!decoded.error().empty());
        return;
    }
    const PixelBuffer* buffer = decoded->pixelBuffer.get();
    QV_FUZZ_CHECK(buffer != nullptr);
    QV_FUZZ_CHECK(buffer->width() * buffer->height() <= maximumPixels);
    const bool bayer = bayerPattern(buffer->pixelFormat()).has_value();
    QV_FUZZ_CHECK(bayer || buffer->pixelFormat() == pixelformat::rgba64LE);
    const std::size_t rowBytes = buffer->width() * (bayer ? 2 : 8);
    QV_FUZZ_CHECK(buffer->bytesPerRow() >= rowBytes);
    // The last sample of the last row lies inside the buffer.
    volatile auto lastByte = buffer->row<std::uint8_t>(buffer->height() - 1)[rowBytes - 1];
    (void)lastByte;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FileBytes file(data, size);
    checkPicture(decodeJpeg(file));
    checkPicture(decodeTiff(file));
    checkRaw(decodeDng(file));
    return 0;
}
