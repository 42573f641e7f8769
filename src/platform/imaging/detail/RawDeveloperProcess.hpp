#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/imaging/detail/DevelopmentAnswer.hpp"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qv::platform::imaging::detail {

// A picture as the RAW developer gives it: 16-bit linear ProPhoto RGB.
struct DevelopedSamples {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint16_t> rgb; // width x height x 3, rows from the top
};

// The RAW developer program built with this layer (qv-raw-developer).
const std::filesystem::path& rawDeveloperProgram();

// Develops `file` in a child process running `program`, which gets the file on
// its standard input and answers as DevelopmentAnswer.hpp says. Whatever the
// child does (crash, abort, a short, lying or oversized answer), this process
// is unharmed and gets an error naming what happened; an answer larger than
// the reader limit is refused. Safe to call from several threads at once.
Result<DevelopedSamples> developInChildProcess(const std::filesystem::path& program, FileBytes file,
                                               bool halfSize);

// A RAW file's mosaic as the developer unpacks it (the answer's header and its samples).
struct UnpackedMosaic {
    MosaicAnswer header;
    std::vector<std::uint16_t> samples; // width x height, rows from the top
};

// Unpacks `file` in a child process running `program` with the mosaic option, as safely
// as developInChildProcess() develops it.
Result<UnpackedMosaic> unpackMosaicInChildProcess(const std::filesystem::path& program,
                                                  FileBytes file);

} // namespace qv::platform::imaging::detail
