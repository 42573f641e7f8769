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

// The bytes of `file`; why not ("it is not a regular file") when it cannot be opened or read,
// is not a regular file (a FIFO, a device or a folder: opened without blocking and never
// read), or is larger than kLargestPictureFile (nothing is allocated for it then).
imaging::Result<imaging::FileData> readPictureFile(const std::filesystem::path& file);

} // namespace qv::platform::detail
