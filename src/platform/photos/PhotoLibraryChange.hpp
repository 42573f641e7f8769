#pragma once

#include "platform/photos/FetchResult.hpp"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::platform {

// What a change did to one fetch result.
struct FetchResultChangeDetails {
    FetchResult fetchResultAfterChanges;
    std::vector<std::size_t> insertedIndexes; // in the result after the change, ascending
    std::vector<std::size_t> removedIndexes;  // in the result before it, ascending
    // In the result after the change, ascending: assets that were there before and whose
    // picture may show differently now (their folder can be read again).
    std::vector<std::size_t> changedIndexes;
};

// A change of the library, as its observers hear it.
class PhotoLibraryChange {
public:
    // `changed`: the identifiers of assets whose picture may show differently now.
    explicit PhotoLibraryChange(FetchResult allAfter, std::set<std::string> changed = {})
        : allAfter_(std::move(allAfter)), changed_(std::move(changed)) {}

    // What the change did to `result` (a fetch of all assets, newest first); nothing when
    // it left that result as it was.
    std::optional<FetchResultChangeDetails> changeDetails(const FetchResult& result) const;

private:
    FetchResult allAfter_;
    std::set<std::string> changed_;
};

} // namespace qv::platform
