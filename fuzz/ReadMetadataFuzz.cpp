// Metadata reading (exiv2) of any file: an error or a dictionary, never a
// crash; the pixel size it reports, when it reports one, is positive.

#include "platform/imaging/ExifMetadata.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>

using namespace qv::platform;
using namespace qv::platform::imaging;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto read = readMetadata(FileBytes(data, size));
    if (!read) {
        QV_FUZZ_CHECK(!read.error().empty());
        return 0;
    }
    for (const char* key : {metadata::pixelWidth, metadata::pixelHeight}) {
        const MetadataValue* value = read->find(key);
        QV_FUZZ_CHECK(value == nullptr || value->integer().value_or(0) > 0);
    }
    return 0;
}
