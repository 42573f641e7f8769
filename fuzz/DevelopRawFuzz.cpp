// RAW development of a DNG at half size, as previews and thumbnails develop
// them: an error or an 8-bit picture within the limit, and this process
// unharmed whatever the developer does with the bytes.
//
// A file that crashes LibRaw is contained in the developer process, so
// libFuzzer never sees it as a crash; with QV_FUZZ_CONTAINED naming a folder
// (scripts/fuzz sets it), each such file is written there to be kept as a
// regression input.

#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>

using namespace qv::platform;
using namespace qv::platform::imaging;

namespace {

void keepContained(const std::uint8_t* data, std::size_t size) {
    const char* folder = std::getenv("QV_FUZZ_CONTAINED");
    if (folder == nullptr) {
        return;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::filesystem::create_directories(folder);
    const auto name = "crash-" + std::to_string(std::hash<std::string_view>{}(bytes));
    std::ofstream(std::filesystem::path(folder) / name, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto developed =
        developRaw(FileBytes(data, size), {.bitsPerChannel = 8, .halfSize = true});
    if (!developed) {
        QV_FUZZ_CHECK(!developed.error().empty());
        if (developed.error().find("the developer failed") != std::string::npos) {
            keepContained(data, size);
        }
        return 0;
    }
    const RgbaImage& image = *developed;
    QV_FUZZ_CHECK(!image.empty() && image.bitsPerChannel() == 8);
    QV_FUZZ_CHECK(image.width() * image.height() <= maximumPixels);
    QV_FUZZ_CHECK(image.row8(image.height() - 1).size() == image.width() * 4);
    return 0;
}
