#pragma once
// Scroll views, scroll readers, lazy grids and lists.
//
//     ScrollView(ScrollViewReader([&](ScrollViewProxy proxy) {
//         return LazyVGrid({GridItem::flexible(10), GridItem::flexible(10)},
//                          ForEach(280, [&](int i) { return Cell{i}; }), 10)
//             .onAppear([proxy] { proxy.scrollTo("140", UnitPoint::center()); });
//     }));
//
// A scroll view offers its content its width and no height, shows the content's top
// part and scrolls vertically: a drag of at least 10 points anywhere in it moves the
// content (a child's tap still wins), the offset kept by the view's identity and clamped
// to the content; the mouse wheel over it moves the offset within the same bounds
// (ViewGraph::wheel). An indicator at the trailing edge shows where the visible part lies.

#include "platform/ui/views/View.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::ui {

namespace detail {
struct GraphCore;
}

View ScrollView(View content, bool showsIndicators = true);

/// Scrolls the scroll views of its reader (those inside it and the one around it).
class ScrollViewProxy {
public:
    ScrollViewProxy(std::weak_ptr<detail::GraphCore> graph, std::string reader)
        : graph_(std::move(graph)), reader_(std::move(reader)) {}
    /// At the next rebuild, scrolls so that the view with explicit id or list key `id`
    /// stands at `anchor` of the visible part (as far as the content allows). An id no
    /// view has scrolls nothing.
    void scrollTo(const std::string& id, std::optional<UnitPoint> anchor = std::nullopt) const;
    void scrollTo(int id, std::optional<UnitPoint> anchor = std::nullopt) const {
        scrollTo(std::to_string(id), anchor);
    }

private:
    std::weak_ptr<detail::GraphCore> graph_;
    std::string reader_;
};

View ScrollViewReader(std::function<View(ScrollViewProxy)> content);

/// A column of a lazy grid: flexible, at least `minimum` and at most `maximum` wide,
/// followed by `spacing` points (8 by default) before the next column.
struct GridItem {
    double minimum = 10;
    double maximum = kInfinity;
    std::optional<double> spacing;
    static GridItem flexible(double minimum = 10, double maximum = kInfinity) {
        return {minimum, maximum, std::nullopt};
    }
};

/// Cells of `content` (a ForEach or Group: each of its views is a cell, identified by
/// its key) in rows over `columns`, `spacing` points between rows (8 by default). Only
/// the rows that can be seen (inside the scroll views around it) are built; every row
/// is as high as the first.
View LazyVGrid(std::vector<GridItem> columns, View content,
               std::optional<double> spacing = std::nullopt,
               HorizontalAlignment alignment = HorizontalAlignment::center);

/// Rows (the views of `content`) one under the other in a scroll view, separated by
/// thin lines, on the system background.
View List(View content);

} // namespace qv::platform::ui
