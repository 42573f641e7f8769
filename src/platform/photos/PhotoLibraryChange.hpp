#pragma once

#include "platform/photos/FetchResult.hpp"

#include <optional>
#include <vector>

namespace qv::platform {

// What a change did to one fetch result.
struct FetchResultChangeDetails {
    FetchResult fetchResultAfterChanges;
    std::vector<std::size_t> insertedIndexes; // in the result after the change, ascending
    std::vector<std::size_t> removedIndexes;  // in the result before it, ascending
};

// A change of the library, as its observers hear it.
class PhotoLibraryChange {
public:
    explicit PhotoLibraryChange(FetchResult allAfter) : allAfter_(std::move(allAfter)) {}

    // What the change did to `result` (a fetch of all assets, newest first); nothing when
    // it left that result as it was.
    std::optional<FetchResultChangeDetails> changeDetails(const FetchResult& result) const;

private:
    FetchResult allAfter_;
};

} // namespace qv::platform
