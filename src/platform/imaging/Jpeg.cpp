#include "platform/imaging/Jpeg.hpp"

#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImageLimits.hpp"
#include "platform/media/MetadataKeys.hpp"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <iterator>
#include <memory>
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

// A warning while reading means corrupt or missing image data (a cut file, a
// bad Huffman code): libjpeg would fill the rest with grey and carry on, so
// it ends the decoding as an error. Warnings about the metadata alone (an odd
// JFIF version, an unknown Adobe transform, a broken ICC marker) do not.
void stopOnDataWarnings(j_common_ptr info, int level) {
    const int code = info->err->msg_code;
    if (level < 0 && code != JWRN_JFIF_MAJOR && code != JWRN_ADOBE_XFORM &&
        code != JWRN_BOGUS_ICC) {
        errorExit(info);
    }
}

// Real progressive files have about ten scans; thousands of tiny ones each
// cost a pass over the whole image, so a file with more than this is refused.
constexpr int maximumScans = 500;

void limitScans(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > maximumScans) {
        std::snprintf(reinterpret_cast<ErrorManager*>(info->err)->message, JMSG_LENGTH_MAX,
                      "more than %d scans", maximumScans);
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
    }
}

// libjpeg's output straight into the file's bytes, a chunk at a time.
struct FileDestination {
    jpeg_destination_mgr base;
    FileData* file;
    JOCTET chunk[64 * 1024];

    static void start(j_compress_ptr info) {
        auto* d = reinterpret_cast<FileDestination*>(info->dest);
        d->base.next_output_byte = d->chunk;
        d->base.free_in_buffer = sizeof d->chunk;
    }
    static boolean emptyChunk(j_compress_ptr info) {
        auto* d = reinterpret_cast<FileDestination*>(info->dest);
        d->file->insert(d->file->end(), d->chunk, d->chunk + sizeof d->chunk);
        start(info);
        return TRUE;
    }
    static void finish(j_compress_ptr info) {
        auto* d = reinterpret_cast<FileDestination*>(info->dest);
        d->file->insert(d->file->end(), d->chunk,
                        d->chunk + (sizeof d->chunk - d->base.free_in_buffer));
    }
};

// What the compressor reads: 8-bit RGBA rows of the image itself, or rows
// of a 16-bit image rounded into `row8` one at a time.
struct Rows {
    const RgbaImage& image;
    std::vector<std::uint8_t>& row8;

    JSAMPROW row(std::uint32_t y) const {
        if (image.bitsPerChannel() == 8) {
            return const_cast<JSAMPROW>(image.row8(y).data());
        }
        const auto src = image.row16(y);
        for (std::size_t i = 0; i < src.size(); ++i) {
            row8[i] = std::uint8_t((src[i] * 255u + 32767u) / 65535u);
        }
        return row8.data();
    }
};

// Compresses the rows, with the Exif block and the ICC profile after the
// JFIF header; only trivially destructible locals live across the setjmp.
bool compress(const Rows& rows, int quality, FileBytes exif, const FileData& icc,
              FileDestination& destination, std::string& error) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = installErrors(errors);
    if (setjmp(errors.jump)) {
        error = errors.message;
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    destination.base.init_destination = FileDestination::start;
    destination.base.empty_output_buffer = FileDestination::emptyChunk;
    destination.base.term_destination = FileDestination::finish;
    info.dest = &destination.base;
    info.image_width = std::uint32_t(rows.image.width());
    info.image_height = std::uint32_t(rows.image.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBA; // alpha is read past
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    jpeg_write_icc_profile(&info, icc.data(), static_cast<unsigned>(icc.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows.row(info.next_scanline);
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

// Decompresses into `image` (made once the size is known and checked against
// the reader limits, before any row is read); only trivially destructible
// locals live across the setjmp.
bool decompress(FileBytes file, RgbaImage& image, Decoded& decoded, std::string& error) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = installErrors(errors);
    errors.base.emit_message = stopOnDataWarnings;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;
    if (setjmp(errors.jump)) {
        error = errors.message;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    info.mem->max_memory_to_use = long(maximumLibraryAllocation);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (const auto problem =
            declaredSizeProblem(info.image_width, info.image_height, file.size(), std::nullopt)) {
        error = *problem;
        jpeg_destroy_decompress(&info);
        return false;
    }
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
    const auto block = exifBlock(metadata, image.colorSpace, PixelSize{width, height});
    if (!block) {
        return Result<FileData>::failure("JPEG: " + block.error());
    }
    static constexpr std::uint8_t exifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    FileData exif(std::begin(exifHeader), std::end(exifHeader));
    exif.insert(exif.end(), block->begin(), block->end());
    if (exif.size() > 65533) {
        return Result<FileData>::failure("JPEG: the metadata does not fit one Exif segment");
    }
    std::vector<std::uint8_t> row8(image.bitsPerChannel() == 8 ? 0 : std::size_t(width) * 4);
    auto destination = std::make_unique<FileDestination>();
    FileData data;
    data.reserve(std::size_t(width) * height / 2); // about the size at high quality
    destination->file = &data;
    std::string error;
    if (!compress(Rows{image, row8}, std::clamp(quality, 1, 100), exif,
                  iccProfile(image.colorSpace), *destination, error)) {
        return Result<FileData>::failure("JPEG: " + error);
    }
    return data;
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
