#include "platform/imaging/Jpeg.hpp"

#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/media/MetadataKeys.hpp"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <vector>

namespace qv::platform::imaging {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the call with the message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void silence(j_common_ptr, int) {}

jpeg_error_mgr* installErrors(ErrorManager& errors) {
    jpeg_error_mgr* base = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.emit_message = silence;
    return base;
}

struct MemoryOutput {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~MemoryOutput() { std::free(data); }
};

// Compresses prepared RGB rows; only trivially destructible locals live across
// the setjmp.
bool compress(const std::vector<std::uint8_t>& rgb, std::uint32_t width, std::uint32_t height,
              int quality, const FileData& icc, MemoryOutput& out, std::string& error) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = installErrors(errors);
    if (setjmp(errors.jump)) {
        error = errors.message;
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out.data, &out.size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    jpeg_write_icc_profile(&info, icc.data(), static_cast<unsigned>(icc.size()));
    while (info.next_scanline < height) {
        auto* row = const_cast<JSAMPLE*>(rgb.data() + std::size_t(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

struct Decoded {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned char* icc = nullptr;
    unsigned int iccSize = 0;
    ~Decoded() { std::free(icc); }
};

// Decompresses into `image` (made once the size is known, before any row is
// read); only trivially destructible locals live across the setjmp.
bool decompress(FileBytes file, RgbaImage& image, Decoded& decoded, std::string& error) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = installErrors(errors);
    if (setjmp(errors.jump)) {
        error = errors.message;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    jpeg_read_icc_profile(&info, &decoded.icc, &decoded.iccSize);
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    decoded.width = info.output_width;
    decoded.height = info.output_height;
    image = RgbaImage(decoded.width, decoded.height, 8);
    while (!image.empty() && info.output_scanline < info.output_height) {
        JSAMPROW row = image.row8(info.output_scanline).data();
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

Result<FileData> encodeJpeg(const RgbaImage& image, int quality,
                            const MetadataDictionary& metadata) {
    if (image.empty()) {
        return Result<FileData>::failure("JPEG: the image is empty");
    }
    const auto width = std::uint32_t(image.width());
    const auto height = std::uint32_t(image.height());
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* dst = rgb.data() + std::size_t(y) * width * 3;
        for (std::uint32_t x = 0; x < width; ++x) {
            for (std::uint32_t c = 0; c < 3; ++c) {
                dst[x * 3 + c] =
                    image.bitsPerChannel() == 8
                        ? image.row8(y)[x * 4 + c]
                        : std::uint8_t((image.row16(y)[x * 4 + c] * 255u + 32767u) / 65535u);
            }
        }
    }
    MemoryOutput out;
    std::string error;
    if (!compress(rgb, width, height, std::clamp(quality, 1, 100), iccProfile(image.colorSpace),
                  out, error)) {
        return Result<FileData>::failure("JPEG: " + error);
    }
    const FileData data(out.data, out.data + out.size);
    return withMetadata(data, metadata, image.colorSpace);
}

Result<RgbaImage> decodeJpeg(FileBytes file) {
    if (file.size() < 3 || file[0] != 0xFF || file[1] != 0xD8) {
        return Result<RgbaImage>::failure("JPEG: not a JPEG file");
    }
    RgbaImage image;
    Decoded decoded;
    std::string error;
    if (!decompress(file, image, decoded, error)) {
        return Result<RgbaImage>::failure("JPEG: " + error);
    }
    if (image.empty()) {
        return Result<RgbaImage>::failure("JPEG: bad image size");
    }
    image.colorSpace =
        decoded.icc ? colorSpaceOfProfile({decoded.icc, decoded.iccSize}) : ColorSpace::sRGB;
    if (const auto metadata = readMetadata(file)) {
        const MetadataDictionary* tiff = metadata->dictionary(metadata::tiffGroup);
        const MetadataValue* o = tiff ? tiff->find(metadata::tiffOrientation) : nullptr;
        if (auto v = o ? o->integer() : std::nullopt; v && *v >= 1 && *v <= 8) {
            image.orientation = static_cast<ImageOrientation>(*v);
        }
    }
    return image;
}

} // namespace qv::platform::imaging
