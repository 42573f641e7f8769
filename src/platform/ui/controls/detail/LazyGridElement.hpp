#pragma once
// The element of a lazy grid: cells in rows over flexible columns, only the rows that
// can be seen built. Internal to the UI layer.

#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::platform::ui::elements {

/// A lazy grid of `items` (keyed views) whose cells are built in `context`.
Ptr lazyGrid(Init init, ResolveContext context, std::vector<std::pair<std::string, View>> items,
             std::vector<GridItem> columns, double spacing, HorizontalAlignment alignment);

/// Where the view with explicit id or list key `id` stands (layout coordinates) in a
/// placed subtree; the cells of lazy grids count whether they were built or not.
std::optional<Rect> locate(const Element& element, const std::string& id);

} // namespace qv::platform::ui::elements
