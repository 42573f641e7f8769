#pragma once

#include <string>

namespace qv::platform {

// An album of the photo library: a named collection of its assets. The library keeps no
// albums of its own; an album is named by its identifier and shown by its title.
struct AssetCollection {
    std::string localIdentifier; // a UUID, the album's name for good
    std::string localizedTitle;

    friend bool operator==(const AssetCollection& a, const AssetCollection& b) {
        return a.localIdentifier == b.localIdentifier;
    }
};

} // namespace qv::platform
