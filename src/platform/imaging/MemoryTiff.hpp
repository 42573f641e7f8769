#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

typedef struct tiff TIFF;

namespace qv::platform::imaging::detail {

// libtiff reading bytes in memory, which must outlive the handle (files are
// written by TiffFileWriter). libtiff may allocate at most
// maximumLibraryAllocation (ImageLimits.hpp) at once for it. libtiff's
// messages are collected per handle (not printed) so a failure can say what
// libtiff complained about.
class MemoryTiff {
public:
    static std::unique_ptr<MemoryTiff> openForReading(FileBytes in);
    ~MemoryTiff();
    MemoryTiff(const MemoryTiff&) = delete;
    MemoryTiff& operator=(const MemoryTiff&) = delete;

    TIFF* get() const { return tif; }
    // The last message libtiff reported, or a generic text.
    std::string lastError() const;

    // Why the current directory's image cannot be read, or nullopt when it
    // can: a file that ended inside the tags read so far, or a declared size
    // beyond the reader limits or the bytes the file holds (ImageLimits.hpp).
    // Call it before allocating anything for the image.
    std::optional<std::string> imageProblem() const;

    // How the current directory's stored rows are shown: its Orientation tag, up when the
    // tag is missing or outside 1 to 8.
    ImageOrientation orientation() const;

    struct Stream;

private:
    MemoryTiff() = default;
    std::unique_ptr<Stream> stream;
    TIFF* tif = nullptr;
};

} // namespace qv::platform::imaging::detail
