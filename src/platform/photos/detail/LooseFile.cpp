#include "platform/photos/detail/LooseFile.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/photos/detail/PictureFile.hpp"
#include "platform/photos/detail/Uuid.hpp"

namespace qv::platform::detail {

namespace {

WallTime modificationTime(const std::filesystem::path& file) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error) {
        return wallNow();
    }
    return std::chrono::time_point_cast<std::chrono::nanoseconds>(
        std::chrono::file_clock::to_sys(written));
}

} // namespace

Asset assetFor(const AssetContents& contents, std::string identifier, std::filesystem::path file,
               WallTime creationDate, std::string originalName, std::uintmax_t size) {
    Asset asset;
    asset.localIdentifier = std::move(identifier);
    asset.creationDate = creationDate;
    asset.pixelWidth = contents.pixelWidth;
    asset.pixelHeight = contents.pixelHeight;
    asset.orientation = contents.orientation;
    asset.location = contents.location;
    asset.originalFilename = std::move(originalName);
    asset.fileSize = size;
    asset.file = std::move(file);
    return asset;
}

LooseFile readLooseFile(const std::filesystem::path& file) {
    LooseFile loose{file, std::nullopt, {}, {}};
    const imaging::Result<imaging::FileData> bytes = readPictureFile(file);
    imaging::Result<AssetContents> contents =
        bytes ? readAssetDetails(*bytes) : imaging::Result<AssetContents>::failure(bytes.error());
    if (!contents) {
        loose.leftOut = contents.error();
        return loose;
    }
    const std::string stem = file.stem().string();
    loose.asset = assetFor(*contents, isUuid(stem) ? stem : newUuid(), file,
                           contents->dateTimeOriginal.value_or(modificationTime(file)),
                           file.filename().string(), bytes->size());
    loose.thumbnailJpeg = std::move(contents->thumbnailJpeg);
    return loose;
}

} // namespace qv::platform::detail
