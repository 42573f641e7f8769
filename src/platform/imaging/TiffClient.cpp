#include "platform/imaging/TiffClient.hpp"

#include <cstdio>

namespace qv::platform::imaging::detail::tiffclient {

toff_t seek(std::uint64_t& position, std::uint64_t size, toff_t offset, int whence) {
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = std::int64_t(position);
    } else if (whence == SEEK_END) {
        base = std::int64_t(size);
    }
    const std::int64_t target = base + std::int64_t(offset);
    if (target < 0) {
        return toff_t(-1);
    }
    position = std::uint64_t(target);
    return position;
}

int close(thandle_t) {
    return 0;
}

int map(thandle_t, void**, toff_t*) {
    return 0;
}

void unmap(thandle_t, void*, toff_t) {}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

std::string message(const char* module, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    return std::string(module ? module : "libtiff") + ": " + text;
}

} // namespace qv::platform::imaging::detail::tiffclient
