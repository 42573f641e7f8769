#pragma once

#include "platform/media/PixelBuffer.hpp"
#include "platform/media/PixelFormat.hpp"

#include <span>
#include <string>
#include <string_view>

// Readable names of pixel formats for console messages, written as the system's
// pixel-format constants ("kCVPixelFormatType_32BGRA"); "UNKNOWN" for other codes.
namespace qv {

struct NamedPixelFormat {
    std::string_view name;
    platform::FourCharCode code;
};

// Every named format with its code. The Bayer, BGRA and 64-bit RGBA formats
// carry the media layer's codes; the others have codes of our own ("qf" and two
// digits), distinct from each other and from the media layer's.
std::span<const NamedPixelFormat> namedPixelFormats();

// The name of a bare code. It does not know "kCVPixelFormatType_16VersatileBayer".
std::string pixelFormatName(platform::FourCharCode format);
// The name of a buffer's format; knows every named format.
std::string pixelFormatName(const platform::PixelBuffer& buffer);

} // namespace qv
