#include "platform/imaging/MemoryTiff.hpp"

#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/TiffClient.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>

namespace qv::platform::imaging::detail {

struct MemoryTiff::Stream {
    FileBytes in;
    std::uint64_t position = 0;
    std::string error;
    // libtiff asked for bytes beyond the end: the file is cut (libtiff itself
    // only warns, and drops a tag whose data is missing).
    bool readPastEnd = false;

    std::uint64_t size() const { return in.size(); }
};

namespace {

using Stream = MemoryTiff::Stream;

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<Stream*>(h);
    const std::uint64_t total = s->size();
    if (size <= 0) {
        return 0;
    }
    if (s->position >= total || std::uint64_t(size) > total - s->position) {
        s->readPastEnd = true;
    }
    if (s->position >= total) {
        return 0;
    }
    const auto n = std::min<std::uint64_t>(std::uint64_t(size), total - s->position);
    std::memcpy(buf, s->in.data() + s->position, n);
    s->position += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Stream*>(h);
    return tiffclient::seek(s->position, s->size(), offset, whence);
}

toff_t sizeProc(thandle_t h) {
    return static_cast<Stream*>(h)->size();
}

int errorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    static_cast<Stream*>(user)->error = tiffclient::message(module, fmt, ap);
    return 1;
}

TIFF* open(Stream* s, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(maximumLibraryAllocation));
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorHandler, s);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffclient::ignoreWarning, s);
    TIFF* tif =
        TIFFClientOpenExt("memory", mode, s, readProc, writeProc, seekProc, tiffclient::close,
                          sizeProc, tiffclient::map, tiffclient::unmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

} // namespace

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

std::optional<std::string> MemoryTiff::imageProblem() const {
    if (stream->readPastEnd) {
        return "the file ends before its tags do";
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE) {
        return declaredSizeProblem(width, height, stream->size(), std::nullopt);
    }
    // The pixel count first: it bounds the sizes multiplied below.
    if (auto problem = declaredSizeProblem(width, height, stream->size(), 0)) {
        return problem;
    }
    // What the samples take, strip by strip or tile by tile; libtiff reports 0
    // for a layout it cannot size.
    const bool tiled = TIFFIsTiled(tif) != 0;
    const std::uint64_t unit =
        tiled ? std::uint64_t(TIFFTileSize64(tif)) : std::uint64_t(TIFFScanlineSize64(tif));
    const std::uint64_t units = tiled ? TIFFNumberOfTiles(tif) : height;
    std::uint64_t stored = 0;
    if (unit == 0 || __builtin_mul_overflow(unit, units, &stored)) {
        return "the image layout is not readable";
    }
    return declaredSizeProblem(width, height, stream->size(), stored);
}

ImageOrientation MemoryTiff::orientation() const {
    std::uint16_t tag = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &tag);
    return tag >= 1 && tag <= 8 ? static_cast<ImageOrientation>(tag) : ImageOrientation::up;
}

std::string MemoryTiff::lastError() const {
    return stream->error.empty() ? std::string("libtiff failed") : stream->error;
}

} // namespace qv::platform::imaging::detail
