#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <tiffio.h>

// The client procedures libtiff calls that are the same for a file in memory
// being read (MemoryTiff) and one being written (TiffFileWriter).
namespace qv::platform::imaging::detail::tiffclient {

// Moves `position` as a seek of `offset` from `whence` in a file of `size`
// bytes does, and returns it; -1, with the position kept, before the start.
toff_t seek(std::uint64_t& position, std::uint64_t size, toff_t offset, int whence);

int close(thandle_t);
int map(thandle_t, void**, toff_t*);
void unmap(thandle_t, void*, toff_t);
int ignoreWarning(TIFF*, void*, const char*, const char*, va_list);

// A libtiff message as "module: text".
std::string message(const char* module, const char* format, va_list arguments);

} // namespace qv::platform::imaging::detail::tiffclient
