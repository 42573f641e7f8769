#include "platform/photos/PhotoLibraryChange.hpp"

#include <string>
#include <unordered_set>

namespace qv::platform {

namespace {

std::unordered_set<std::string> identifiers(const FetchResult& result) {
    std::unordered_set<std::string> set;
    for (const Asset& asset : result.assets()) {
        set.insert(asset.localIdentifier);
    }
    return set;
}

// The indexes of the assets of `result` that `other` does not hold.
std::vector<std::size_t> missingFrom(const FetchResult& result,
                                     const std::unordered_set<std::string>& other) {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < result.count(); ++i) {
        if (!other.contains(result.assets()[i].localIdentifier)) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

} // namespace

std::optional<FetchResultChangeDetails>
PhotoLibraryChange::changeDetails(const FetchResult& result) const {
    const std::unordered_set<std::string> before = identifiers(result);
    FetchResultChangeDetails details{
        allAfter_, missingFrom(allAfter_, before), missingFrom(result, identifiers(allAfter_)), {}};
    for (std::size_t i = 0; i < allAfter_.count(); ++i) {
        const std::string& identifier = allAfter_.assets()[i].localIdentifier;
        if (changed_.contains(identifier) && before.contains(identifier)) {
            details.changedIndexes.push_back(i);
        }
    }
    if (details.insertedIndexes.empty() && details.removedIndexes.empty() &&
        details.changedIndexes.empty()) {
        return std::nullopt;
    }
    return details;
}

} // namespace qv::platform
