#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform::imaging::test {

// A Bayer buffer whose samples follow a fixed pattern (value depends on x, y
// and the seed), inside [black, white].
std::shared_ptr<PixelBuffer> makeBayer(std::size_t width, std::size_t height, FourCharCode format,
                                       unsigned seed = 1, std::uint16_t black = 528,
                                       std::uint16_t white = 16383);

// A flat grey scene as a Bayer buffer: each photosite at black + level x
// (white - black) / neutral of its colour, so white balance by the neutral
// gives grey.
std::shared_ptr<PixelBuffer> makeGreyBayer(std::size_t width, std::size_t height,
                                           FourCharCode format, double level,
                                           const std::vector<double>& neutral, std::uint16_t black,
                                           std::uint16_t white);

MetadataDictionary rawMetadata(std::uint16_t black, std::uint16_t white,
                               const std::vector<double>& neutral);

// The metadata of a typical result: levels and neutral, exposure time 0.008 s,
// software and description, a GPS fix south of the equator below sea level.
MetadataDictionary resultMetadata();

// A folder under the system temp folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return folder; }
    std::filesystem::path write(const std::string& name, const FileData& data) const;

private:
    std::filesystem::path folder;
};

struct ToolRun {
    int exitCode = -1;
    std::string output; // stdout and stderr
};

// Runs a program found on PATH with the arguments (no shell). Fails the
// calling test with a clear message when the program is not on PATH.
ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments);
bool toolOnPath(const std::string& program);

// exiftool's validation of a file: a test failure unless it reports OK and
// lists no warning or error.
void expectValid(const std::filesystem::path& path);

} // namespace qv::platform::imaging::test
