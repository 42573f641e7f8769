#include "platform/imaging/RawDevelopment.hpp"

#include "platform/imaging/ColorProfiles.hpp"

#include <libraw/libraw.h>
#include <memory>

namespace qv::platform::imaging {

namespace {

// LibRaw's output space that keeps every colour a camera records: ProPhoto,
// linear, converted by lcms2 afterwards.
constexpr int libRawProPhoto = 4;

struct ProcessedImageDeleter {
    void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};

Result<RgbaImage> failure(int code) {
    return Result<RgbaImage>::failure(std::string("RAW development: ") + libraw_strerror(code));
}

} // namespace

Result<RgbaImage> developRaw(FileBytes dng, DevelopOptions options) {
    if (options.bitsPerChannel != 8 && options.bitsPerChannel != 16) {
        return Result<RgbaImage>::failure("RAW development: 8 or 16 bits per channel");
    }
    // LibRaw keeps large tables inside the object: on the heap, one per call.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    auto& params = raw->imgdata.params;
    params.use_camera_wb = 1;
    params.use_camera_matrix = 1;
    params.output_color = libRawProPhoto;
    params.output_bps = 16;
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.no_auto_bright = 1;
    params.bright = 1.0f;
    params.highlight = 0;
    params.exp_correc = 0;
    params.half_size = options.halfSize ? 1 : 0;
    params.user_qual = options.halfSize ? 0 : 3;
    params.user_flip = 0;
    // LibRaw takes a non-const pointer but only reads the buffer.
    int code = raw->open_buffer(const_cast<std::uint8_t*>(dng.data()), dng.size());
    if (code != LIBRAW_SUCCESS) {
        return failure(code);
    }
    if ((code = raw->unpack()) != LIBRAW_SUCCESS ||
        (code = raw->dcraw_process()) != LIBRAW_SUCCESS) {
        return failure(code);
    }
    std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter> processed(
        raw->dcraw_make_mem_image(&code));
    if (!processed) {
        return failure(code);
    }
    if (processed->type != LIBRAW_IMAGE_BITMAP || processed->colors != 3 || processed->bits != 16) {
        return Result<RgbaImage>::failure("RAW development: unexpected output layout");
    }
    RgbaImage image(processed->width, processed->height, options.bitsPerChannel,
                    options.colorSpace);
    if (image.empty()) {
        return Result<RgbaImage>::failure("RAW development: empty image");
    }
    detail::fromLinearProPhoto(reinterpret_cast<const std::uint16_t*>(processed->data), image);
    return image;
}

} // namespace qv::platform::imaging
