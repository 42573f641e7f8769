#include "platform/imaging/MemoryTiff.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>

namespace qv::platform::imaging::detail {

struct MemoryTiff::Stream {
    FileData* out = nullptr;
    FileBytes in;
    std::uint64_t position = 0;
    std::string error;

    std::uint64_t size() const { return out ? out->size() : in.size(); }
};

namespace {

using Stream = MemoryTiff::Stream;

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<Stream*>(h);
    const std::uint64_t total = s->size();
    if (size <= 0 || s->position >= total) {
        return 0;
    }
    const auto n = std::min<std::uint64_t>(std::uint64_t(size), total - s->position);
    const std::uint8_t* src = s->out ? s->out->data() : s->in.data();
    std::memcpy(buf, src + s->position, n);
    s->position += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<Stream*>(h);
    if (!s->out || size < 0) {
        return -1;
    }
    const std::uint64_t end = s->position + std::uint64_t(size);
    if (end > s->out->size()) {
        s->out->resize(end);
    }
    std::memcpy(s->out->data() + s->position, buf, std::size_t(size));
    s->position = end;
    return size;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Stream*>(h);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = std::int64_t(s->position);
    } else if (whence == SEEK_END) {
        base = std::int64_t(s->size());
    }
    const std::int64_t target = base + std::int64_t(offset);
    if (target < 0) {
        return toff_t(-1);
    }
    s->position = std::uint64_t(target);
    return s->position;
}

int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<Stream*>(h)->size();
}
int mapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, void*, toff_t) {}

int errorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* s = static_cast<Stream*>(user);
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    s->error = std::string(module ? module : "libtiff") + ": " + text;
    return 1;
}

int warningHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

TIFF* open(Stream* s, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorHandler, s);
    TIFFOpenOptionsSetWarningHandlerExtR(options, warningHandler, s);
    TIFF* tif = TIFFClientOpenExt("memory", mode, s, readProc, writeProc, seekProc, closeProc,
                                  sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

} // namespace

std::unique_ptr<MemoryTiff> MemoryTiff::openForWriting(FileData& out) {
    std::unique_ptr<MemoryTiff> m(new MemoryTiff);
    m->stream = std::make_unique<Stream>();
    m->stream->out = &out;
    out.clear();
    m->tif = open(m->stream.get(), "wl");
    return m->tif ? std::move(m) : nullptr;
}

std::unique_ptr<MemoryTiff> MemoryTiff::openForReading(FileBytes in) {
    std::unique_ptr<MemoryTiff> m(new MemoryTiff);
    m->stream = std::make_unique<Stream>();
    m->stream->in = in;
    m->tif = open(m->stream.get(), "rm");
    return m->tif ? std::move(m) : nullptr;
}

MemoryTiff::~MemoryTiff() {
    if (tif) {
        TIFFCleanup(tif);
    }
}

void MemoryTiff::setLayout(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerSample,
                           std::uint16_t samplesPerPixel, std::uint16_t photometric) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
}

bool MemoryTiff::finish() {
    if (!tif) {
        return false;
    }
    const bool written = TIFFWriteDirectory(tif) == 1;
    TIFFClose(tif);
    tif = nullptr;
    return written && stream->error.empty();
}

std::string MemoryTiff::lastError() const {
    return stream->error.empty() ? std::string("libtiff failed") : stream->error;
}

} // namespace qv::platform::imaging::detail
