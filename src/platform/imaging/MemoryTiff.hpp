#pragma once

#include "platform/imaging/ImagingResult.hpp"

#include <cstdint>
#include <memory>
#include <string>

typedef struct tiff TIFF;

namespace qv::platform::imaging::detail {

// libtiff over bytes in memory. A writer grows `out`; a reader reads `in`,
// which must outlive the handle. libtiff's messages are collected per handle
// (not printed) so a failure can say what libtiff complained about.
class MemoryTiff {
public:
    static std::unique_ptr<MemoryTiff> openForWriting(FileData& out);
    static std::unique_ptr<MemoryTiff> openForReading(FileBytes in);
    ~MemoryTiff();
    MemoryTiff(const MemoryTiff&) = delete;
    MemoryTiff& operator=(const MemoryTiff&) = delete;

    TIFF* get() const { return tif; }
    // Writes the directory and closes the file; false when libtiff failed.
    bool finish();
    // The last message libtiff reported, or a generic text.
    std::string lastError() const;

    // The tags every image we write starts with: size, samples, no
    // compression, contiguous samples, top-left origin, 72 dpi, default strips.
    void setLayout(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerSample,
                   std::uint16_t samplesPerPixel, std::uint16_t photometric);

    struct Stream;

private:
    MemoryTiff() = default;
    std::unique_ptr<Stream> stream;
    TIFF* tif = nullptr;
};

} // namespace qv::platform::imaging::detail
