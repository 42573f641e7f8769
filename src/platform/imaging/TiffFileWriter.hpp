#pragma once

#include "platform/imaging/ImagingResult.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

typedef struct tiff TIFF;

namespace qv::platform::imaging::detail {

// One uncompressed TIFF image (a DNG too) written into memory through libtiff
// in one pass, with its metadata put in while it is written: the header, the
// Exif and GPS directories of an Exif block (ExifMetadata.hpp), the image in
// strips of about 256 KiB, and the first directory last. The file is
// reserved at about its final size when it starts, and nothing is written
// twice: writing allocates the file and one strip, nothing else.
class TiffFileWriter {
public:
    struct Layout {
        std::uint32_t width;
        std::uint32_t height;
        std::uint16_t bitsPerSample;
        std::uint16_t samplesPerPixel;
        std::uint16_t photometric;
        std::uint16_t orientation; // how the rows are shown (Exif's 1...8; 1: as stored)
    };

    // Starts a file with the tags every image carries: size, samples, no
    // compression, contiguous samples, the orientation, 72 dpi, the strips.
    // `extraBytes`: about what the caller's own tags take (an ICC profile).
    // Null when libtiff cannot start.
    static std::unique_ptr<TiffFileWriter> start(const Layout& layout, std::size_t extraBytes);
    ~TiffFileWriter();
    TiffFileWriter(const TiffFileWriter&) = delete;
    TiffFileWriter& operator=(const TiffFileWriter&) = delete;

    // For the caller's own tags of the first directory.
    TIFF* tiff() const { return tif_; }

    // Puts an Exif block in: the tags of its first directory that libtiff
    // knows (ASCII and SHORT: the {TIFF} group) into the image's first
    // directory, its Exif and GPS directories into the file, pointed to from
    // there. Before the rows. False, with lastError(), for a malformed block.
    bool addExifBlock(FileBytes block);

    // The image, either as rows already laid out as in the file, `stride`
    // bytes apart (`stride` at least a row), or as rows that `fill` writes
    // into a buffer one at a time.
    bool writeRows(const std::uint8_t* first, std::size_t stride);
    bool writeRows(const std::function<void(std::uint32_t y, std::uint8_t* row)>& fill);

    // Writes the first directory and hands the file over.
    Result<FileData> finish();

    // The last message libtiff or this writer reported, or a generic text.
    std::string lastError() const;

    struct Sink;

private:
    TiffFileWriter() = default;
    bool writeStrip(std::uint32_t strip, const std::uint8_t* bytes, std::size_t count);

    std::unique_ptr<Sink> sink_;
    TIFF* tif_ = nullptr;
    Layout layout_{};
    std::size_t rowBytes_ = 0;
    std::uint32_t rowsPerStrip_ = 1;
};

} // namespace qv::platform::imaging::detail
