#pragma once

// The RAW developer's answer to --mosaic (detail/DevelopmentAnswer.hpp).

#include <libraw/libraw.h>
#include <string_view>

namespace qv::platform::imaging::developer {

// Writes the unpacked mosaic of `raw` to standard output, or the reason there is none:
// `code` is what opening and unpacking the file gave.
void writeMosaicAnswer(LibRaw& raw, int code);

// Writes the answer's stream bytes; ends the process on a write error.
void writeAll(const void* data, std::size_t size);

} // namespace qv::platform::imaging::developer
