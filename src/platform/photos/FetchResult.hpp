#pragma once

#include "platform/photos/Asset.hpp"

#include <optional>
#include <vector>

namespace qv::platform {

// The assets of one fetch, newest first, as they were at that moment: a later change of
// the library does not alter it (the change's details give the result after it).
class FetchResult {
public:
    FetchResult() = default;
    explicit FetchResult(std::vector<Asset> assets) : assets_(std::move(assets)) {}

    std::size_t count() const { return assets_.size(); }
    // The asset at `index` (0 is the newest); nothing past the end.
    std::optional<Asset> object(std::size_t index) const;
    std::optional<Asset> firstObject() const { return object(0); }
    // The index of the asset with that identifier, if it is in the result.
    std::optional<std::size_t> index(const std::string& localIdentifier) const;
    const std::vector<Asset>& assets() const { return assets_; }

private:
    std::vector<Asset> assets_;
};

} // namespace qv::platform
