#include "platform/photos/detail/PictureFile.hpp"

#include "platform/files/RegularFile.hpp"

namespace qv::platform::detail {

imaging::Result<imaging::FileData> readPictureFile(const std::filesystem::path& file) {
    imaging::FileData bytes;
    if (const auto problem = readRegularFile(file, kLargestPictureFile, bytes)) {
        return imaging::Result<imaging::FileData>::failure("it " + problem->reason);
    }
    return bytes;
}

} // namespace qv::platform::detail
