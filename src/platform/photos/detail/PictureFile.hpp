#pragma once
// Internal: reading a picture file whole, within a bound, without ever blocking on it.

#include "platform/imaging/ImagingResult.hpp"

#include <cstdint>
#include <filesystem>

namespace qv::platform::detail {

// The largest picture file the library reads: far above the app's own pictures (a 16-bit
// TIFF of a 48-megapixel sensor is under 300 MB), and the most the image readers allocate
// for one file anyway.
inline constexpr std::uintmax_t kLargestPictureFile = std::uintmax_t(512) << 20;

// The bytes of `file`, read through platform::readRegularFile: never blocking, only a regular
// file, nothing allocated for one larger than kLargestPictureFile. Otherwise why not, as the
// end of a sentence ("it is a FIFO, not a regular file", "it is larger than 512 MB").
imaging::Result<imaging::FileData> readPictureFile(const std::filesystem::path& file);

} // namespace qv::platform::detail
