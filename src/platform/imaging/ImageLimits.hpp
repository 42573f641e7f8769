#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv::platform::imaging {

// The bounds every reader of this layer keeps, whatever a file declares. A
// reader checks the declared size against them before it allocates anything
// for the picture, and refuses with a message; a file that ends before its
// picture does is an error too, never a read past its end.

// The largest picture a reader accepts.
inline constexpr std::uint64_t maximumPixels = 200'000'000;

// Compressed image data holds at most this many pixels per byte of its file:
// well above what deflate, LZW or a JPEG (at least one bit per 8x8 block)
// reach on a real frame, far below what a lying header claims.
inline constexpr std::uint64_t maximumPixelsPerByte = 4096;

// The largest single buffer libtiff and LibRaw may allocate for one file.
inline constexpr std::uint64_t maximumLibraryAllocation = std::uint64_t(512) << 20;

// Why a width x height picture cannot be read from a file of `fileBytes`
// bytes, or nullopt when it can: a side of zero, more than maximumPixels, or
// more than the file can hold. `storedBytes` is what uncompressed samples
// take in the file; compressed data (nullopt) is held to maximumPixelsPerByte.
// The text names the sizes, as in "the image claims 100000 x 100000 pixels,
// more than the 200 megapixels a reader accepts".
std::optional<std::string> declaredSizeProblem(std::uint64_t width, std::uint64_t height,
                                               std::uint64_t fileBytes,
                                               std::optional<std::uint64_t> storedBytes);

} // namespace qv::platform::imaging
