#include "platform/photos/FetchResult.hpp"

namespace qv::platform {

std::optional<Asset> FetchResult::object(std::size_t index) const {
    if (index >= assets_.size()) {
        return std::nullopt;
    }
    return assets_[index];
}

std::optional<std::size_t> FetchResult::index(const std::string& localIdentifier) const {
    for (std::size_t i = 0; i < assets_.size(); ++i) {
        if (assets_[i].localIdentifier == localIdentifier) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace qv::platform
