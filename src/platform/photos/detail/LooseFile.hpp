#pragma once
// Internal: a picture file of the library's folders that has no row (an index made anew, a
// library copied from a backup), and the row it becomes. Safe on any thread: reading
// one touches nothing but the file.

#include "platform/photos/Asset.hpp"
#include "platform/photos/detail/AssetContents.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::detail {

// The asset of `contents` stored as `file`.
Asset assetFor(const AssetContents& contents, std::string identifier, std::filesystem::path file,
               WallTime creationDate, std::string originalName, std::uintmax_t size);

struct LooseFile {
    std::filesystem::path file;
    std::optional<Asset> asset;              // the row it becomes; none when it is left out
    std::vector<std::uint8_t> thumbnailJpeg; // empty: made when first asked for
    std::string leftOut;                     // why it is left out ("it is larger than 512 MB")
};

// Reads what the row of `file` needs from its tags, never decoding its pixels where the tags
// tell its size (readAssetDetails): its identifier is the UUID its name carries, else a new
// one; its date the Exif date, else the file's time of last change; its original name the
// file's name.
LooseFile readLooseFile(const std::filesystem::path& file);

} // namespace qv::platform::detail
