#include "platform/imaging/MemoryTiff.hpp"

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

    std::uint64_t size() const { return in.size(); }
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

std::string MemoryTiff::lastError() const {
    return stream->error.empty() ? std::string("libtiff failed") : stream->error;
}

} // namespace qv::platform::imaging::detail
