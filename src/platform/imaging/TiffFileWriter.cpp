#include "platform/imaging/TiffFileWriter.hpp"

#include "platform/imaging/TiffClient.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace qv::platform::imaging::detail {

// Strips are raw sample bytes: the file is little-endian, and so must the host be.
static_assert(std::endian::native == std::endian::little);

struct TiffFileWriter::Sink {
    FileData data;
    std::uint64_t position = 0;
    std::string error;
};

namespace {

using Sink = TiffFileWriter::Sink;

constexpr std::size_t bytesPerStrip = 256 * 1024;
constexpr std::size_t directoryAllowance = 64 * 1024; // directories, Exif block, strip lists
constexpr std::uint16_t tagExifDirectory = 0x8769;
constexpr std::uint16_t tagGpsDirectory = 0x8825;
constexpr std::uint16_t tagInteroperabilityDirectory = 0xA005;

// Writes at the position: over the bytes there, and appended past the end
// (never zero-filled first, so no byte of the file is written twice).
tmsize_t writeProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<Sink*>(h);
    if (size < 0) {
        return -1;
    }
    if (s->position > s->data.size()) {
        s->data.resize(s->position); // a gap libtiff skipped to align a directory
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buf);
    const std::size_t over = std::min<std::size_t>(std::size_t(size), s->data.size() - s->position);
    std::memcpy(s->data.data() + s->position, bytes, over);
    s->data.insert(s->data.end(), bytes + over, bytes + size);
    s->position += std::uint64_t(size);
    return size;
}

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<Sink*>(h);
    if (size <= 0 || s->position >= s->data.size()) {
        return 0;
    }
    const auto n = std::min<std::uint64_t>(std::uint64_t(size), s->data.size() - s->position);
    std::memcpy(buf, s->data.data() + s->position, n);
    s->position += n;
    return tmsize_t(n);
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Sink*>(h);
    return tiffclient::seek(s->position, s->data.size(), offset, whence);
}

toff_t sizeProc(thandle_t h) {
    return static_cast<Sink*>(h)->data.size();
}

int errorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    static_cast<Sink*>(user)->error = tiffclient::message(module, fmt, ap);
    return 1;
}

// Little-endian fields of an Exif block, checked against its end.
class Block {
public:
    explicit Block(FileData& bytes) : bytes_(bytes) {}
    bool fits(std::size_t at, std::size_t length) const {
        return at <= bytes_.size() && length <= bytes_.size() - at;
    }
    std::uint32_t get(std::size_t at, std::size_t length) const {
        std::uint32_t value = 0;
        for (std::size_t i = length; i-- > 0;) {
            value = value << 8 | bytes_[at + i];
        }
        return value;
    }
    void put32(std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes_[at + i] = std::uint8_t(value >> (8 * i));
        }
    }
    const std::uint8_t* at(std::size_t offset) const { return bytes_.data() + offset; }

private:
    FileData& bytes_;
};

std::size_t typeSize(std::uint32_t type) {
    switch (type) {
    case TIFF_SHORT:
    case TIFF_SSHORT:
        return 2;
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_FLOAT:
    case TIFF_IFD:
        return 4;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_DOUBLE:
        return 8;
    default:
        return 1;
    }
}

// One directory entry: tag, type, count, and the value or its offset.
struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::size_t field; // where the value or its offset is
    std::size_t bytes() const { return std::size_t(count) * typeSize(type); }
};

// Calls visit(entry) for each entry of the directory at `offset`; false when
// it does not fit the block.
template <class Visit>
bool forEachEntry(const Block& block, std::size_t offset, Visit&& visit) {
    if (!block.fits(offset, 2)) {
        return false;
    }
    const std::size_t count = block.get(offset, 2);
    if (!block.fits(offset + 2, count * 12 + 4)) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = offset + 2 + i * 12;
        const Entry entry{std::uint16_t(block.get(at, 2)), std::uint16_t(block.get(at + 2, 2)),
                          block.get(at + 4, 4), at + 8};
        if (entry.bytes() > 4 && !block.fits(block.get(entry.field, 4), entry.bytes())) {
            return false;
        }
        if (!visit(entry)) {
            return false;
        }
    }
    return true;
}

// Moves the offsets of the directory at `offset` (and of an interoperability
// directory it points to) by `shift`, for the block placed `shift` bytes
// into the file.
bool relocate(Block& block, std::size_t offset, std::uint32_t shift, int depth = 0) {
    return depth < 2 && forEachEntry(block, offset, [&](const Entry& entry) {
               const std::uint32_t target = block.get(entry.field, 4);
               if (entry.tag == tagInteroperabilityDirectory &&
                   !relocate(block, target, shift, depth + 1)) {
                   return false;
               }
               if (entry.bytes() > 4 || entry.tag == tagInteroperabilityDirectory) {
                   block.put32(entry.field, target + shift);
               }
               return true;
           });
}

} // namespace

std::unique_ptr<TiffFileWriter> TiffFileWriter::start(const Layout& layout,
                                                      std::size_t extraBytes) {
    std::unique_ptr<TiffFileWriter> w(new TiffFileWriter);
    w->sink_ = std::make_unique<Sink>();
    w->layout_ = layout;
    w->rowBytes_ = std::size_t(layout.width) * layout.samplesPerPixel * layout.bitsPerSample / 8;
    w->rowsPerStrip_ = std::uint32_t(
        std::clamp<std::size_t>(bytesPerStrip / std::max<std::size_t>(1, w->rowBytes_), 1,
                                std::max<std::uint32_t>(1, layout.height)));
    const std::size_t strips = (layout.height + w->rowsPerStrip_ - 1) / w->rowsPerStrip_;
    w->sink_->data.reserve(w->rowBytes_ * layout.height + strips * 16 + extraBytes +
                           directoryAllowance);

    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorHandler, w->sink_.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffclient::ignoreWarning, w->sink_.get());
    w->tif_ =
        TIFFClientOpenExt("memory", "wl", w->sink_.get(), readProc, writeProc, seekProc,
                          tiffclient::close, sizeProc, tiffclient::map, tiffclient::unmap, options);
    TIFFOpenOptionsFree(options);
    if (!w->tif_) {
        return nullptr;
    }
    TIFF* tif = w->tif_;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, w->rowsPerStrip_);
    return w;
}

TiffFileWriter::~TiffFileWriter() {
    if (tif_) {
        TIFFCleanup(tif_);
    }
}

bool TiffFileWriter::addExifBlock(FileBytes bytes) {
    FileData copy(bytes.begin(), bytes.end());
    Block block(copy);
    if (!block.fits(0, 8) || block.get(0, 2) != 0x4949 || block.get(2, 2) != 42) {
        sink_->error = "the Exif block is not a little-endian TIFF structure";
        return false;
    }
    // The block goes at the end of the file so far, on a word boundary.
    const auto shift = std::uint32_t((sink_->data.size() + 1) & ~std::size_t(1));
    std::uint64_t exif = 0;
    std::uint64_t gps = 0;
    const bool read = forEachEntry(block, block.get(4, 4), [&](const Entry& entry) {
        const std::uint32_t value = block.get(entry.field, entry.type == TIFF_SHORT ? 2 : 4);
        if (entry.tag == tagExifDirectory || entry.tag == tagGpsDirectory) {
            (entry.tag == tagExifDirectory ? exif : gps) = shift + value;
            return relocate(block, value, shift);
        }
        const TIFFField* field = TIFFFindField(tif_, entry.tag, TIFF_ANY);
        if (!field) {
            return true;
        }
        if (entry.type == TIFF_ASCII && TIFFFieldDataType(field) == TIFF_ASCII) {
            const std::uint8_t* text = entry.bytes() > 4 ? block.at(value) : block.at(entry.field);
            const std::string s(reinterpret_cast<const char*>(text),
                                strnlen(reinterpret_cast<const char*>(text), entry.count));
            TIFFSetField(tif_, entry.tag, s.c_str());
        } else if (entry.type == TIFF_SHORT && entry.count == 1 &&
                   TIFFFieldDataType(field) == TIFF_SHORT && !TIFFFieldPassCount(field)) {
            TIFFSetField(tif_, entry.tag, value);
        }
        return true;
    });
    if (!read) {
        sink_->error = "the Exif block's directories run past its end";
        return false;
    }
    sink_->data.resize(shift);
    sink_->data.insert(sink_->data.end(), copy.begin(), copy.end());
    if (exif) {
        TIFFSetField(tif_, TIFFTAG_EXIFIFD, exif);
    }
    if (gps) {
        TIFFSetField(tif_, TIFFTAG_GPSIFD, gps);
    }
    return sink_->error.empty();
}

bool TiffFileWriter::writeStrip(std::uint32_t strip, const std::uint8_t* bytes, std::size_t count) {
    return TIFFWriteRawStrip(tif_, strip, const_cast<std::uint8_t*>(bytes), tmsize_t(count)) ==
           tmsize_t(count);
}

bool TiffFileWriter::writeRows(const std::uint8_t* first, std::size_t stride) {
    if (stride == rowBytes_) {
        for (std::uint32_t y = 0, strip = 0; y < layout_.height; y += rowsPerStrip_, ++strip) {
            const std::uint32_t rows = std::min(rowsPerStrip_, layout_.height - y);
            if (!writeStrip(strip, first + std::size_t(y) * stride, rows * rowBytes_)) {
                return false;
            }
        }
        return true;
    }
    return writeRows([&](std::uint32_t y, std::uint8_t* row) {
        std::memcpy(row, first + std::size_t(y) * stride, rowBytes_);
    });
}

bool TiffFileWriter::writeRows(const std::function<void(std::uint32_t, std::uint8_t*)>& fill) {
    std::vector<std::uint8_t> strip(rowsPerStrip_ * rowBytes_);
    for (std::uint32_t y = 0, index = 0; y < layout_.height; y += rowsPerStrip_, ++index) {
        const std::uint32_t rows = std::min(rowsPerStrip_, layout_.height - y);
        for (std::uint32_t r = 0; r < rows; ++r) {
            fill(y + r, strip.data() + r * rowBytes_);
        }
        if (!writeStrip(index, strip.data(), rows * rowBytes_)) {
            return false;
        }
    }
    return true;
}

Result<FileData> TiffFileWriter::finish() {
    const bool written = TIFFWriteDirectory(tif_) == 1;
    TIFFClose(tif_);
    tif_ = nullptr;
    if (!written || !sink_->error.empty()) {
        return Result<FileData>::failure(lastError());
    }
    return std::move(sink_->data);
}

std::string TiffFileWriter::lastError() const {
    return sink_->error.empty() ? std::string("libtiff failed") : sink_->error;
}

} // namespace qv::platform::imaging::detail
