#pragma once
// Children of one container that end up with the same identity share their state,
// their appear and change handlers and the target of a scroll request. That is a
// mistake of the view's author; the layer says so once per container.

#include <string>
#include <vector>

namespace qv::platform::ui::detail {

/// Logs one line (the first time for `container`) naming the keys that stand more than
/// once in `keys`, the identities or list keys of the container's children.
void reportDuplicateKeys(const std::string& container, const std::vector<std::string>& keys);

} // namespace qv::platform::ui::detail
