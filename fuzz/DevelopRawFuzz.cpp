// RAW development of a DNG at half size, as previews and thumbnails develop
// them: an error or an 8-bit picture within the limit, and this process
// unharmed whatever the developer does with the bytes.

#include "platform/imaging/ImageLimits.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>

using namespace qv::platform;
using namespace qv::platform::imaging;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto developed =
        developRaw(FileBytes(data, size), {.bitsPerChannel = 8, .halfSize = true});
    if (!developed) {
        QV_FUZZ_CHECK(!developed.error().empty());
        return 0;
    }
    const RgbaImage& image = *developed;
    QV_FUZZ_CHECK(!image.empty() && image.bitsPerChannel() == 8);
    QV_FUZZ_CHECK(image.width() * image.height() <= maximumPixels);
    QV_FUZZ_CHECK(image.row8(image.height() - 1).size() == image.width() * 4);
    return 0;
}
