#include "platform/ui/controls/detail/LazyGridElement.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/elements/LayoutElement.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform::ui::elements {
namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class LazyGridElement final : public LayoutElement {
public:
    LazyGridElement(Init init, ResolveContext ctx, std::vector<std::pair<std::string, View>> items,
                    std::vector<GridItem> columns, double spacing, HorizontalAlignment alignment)
        : LayoutElement(std::move(init)), ctx_(std::move(ctx)), items_(std::move(items)),
          columns_(std::move(columns)), spacing_(spacing), alignment_(alignment) {
        if (columns_.empty()) {
            columns_.push_back(GridItem::flexible());
        }
    }

    /// The cell of the item keyed `id` (a ForEach's key or a position), if there is one.
    std::optional<Rect> cellFrame(const std::string& id) const {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].first == "id=" + id) {
                return cellRect(i);
            }
        }
        return std::nullopt;
    }

protected:
    Size measure(ProposedSize p) override {
        const double width = p.width.value_or(idealWidth());
        const auto widths = columnWidths(width);
        return {width, contentHeight(rowHeight(widths))};
    }

    void placeChildren() override {
        children_.clear();
        widths_ = columnWidths(frame().width);
        rowHeight_ = rowHeight(widths_);
        detail::BuildSession* session = detail::BuildSession::current();
        if (items_.empty() || (session != nullptr && session->isProbing())) {
            return; // a probe needs the geometry only
        }
        // The rows that meet the visible part of the screen, in this element's layout
        // coordinates.
        const Rect visible = toScreen().inverted().apply(placeContext().visible);
        const double pitch = rowHeight_ + spacing_;
        const std::size_t n = columns_.size();
        const std::size_t rows = (items_.size() + n - 1) / n;
        const double top = std::max(0.0, visible.minY() - frame().minY());
        const double bottom = std::min(frame().height, visible.maxY() - frame().minY());
        if (bottom < 0 || pitch <= 0) {
            return;
        }
        const auto first = saturatingCast<std::size_t>(std::floor(top / pitch));
        const auto last =
            std::min(rows - 1, saturatingCast<std::size_t>(std::floor(bottom / pitch)));
        for (std::size_t row = first; row <= last && row < rows; ++row) {
            for (std::size_t col = 0; col < n; ++col) {
                const std::size_t i = row * n + col;
                if (i >= items_.size()) {
                    break;
                }
                ElementList built;
                detail::resolveView(items_[i].second, cellContext(i), built);
                for (auto& cell : built) {
                    Element& c = *cell;
                    adoptChild(std::move(cell));
                    placeChild(c, cellRect(i), {alignment_, VerticalAlignment::center},
                               ProposedSize{widths_[col], std::nullopt});
                }
            }
        }
    }

private:
    ResolveContext cellContext(std::size_t i) const {
        return ctx_.at(identity() + "[" + items_[i].first + "]", ctx_.environment);
    }

    double columnSpacing(std::size_t i) const {
        return columns_[i].spacing.value_or(kDefaultSpacing);
    }
    double idealWidth() const {
        double w = 0;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            w += columns_[i].minimum + (i + 1 < columns_.size() ? columnSpacing(i) : 0);
        }
        return w;
    }
    // Flexible columns share the width left between their spacings equally, each
    // within its limits.
    std::vector<double> columnWidths(double width) const {
        double free = width;
        for (std::size_t i = 0; i + 1 < columns_.size(); ++i) {
            free -= columnSpacing(i);
        }
        const double share = std::max(0.0, free) / static_cast<double>(columns_.size());
        std::vector<double> out;
        for (const auto& c : columns_) {
            out.push_back(std::clamp(share, c.minimum, std::max(c.minimum, c.maximum)));
        }
        return out;
    }
    // The height of the first row's tallest cell, measured without building the cells
    // into the tree; every row is given that height.
    double rowHeight(const std::vector<double>& widths) {
        if (items_.empty()) {
            return 0;
        }
        for (const auto& [w, h] : rowHeights_) {
            if (w == widths) {
                return h;
            }
        }
        detail::BuildSession::ProbeScope probe(detail::BuildSession::current());
        double h = 0;
        for (std::size_t col = 0; col < columns_.size() && col < items_.size(); ++col) {
            ElementList built;
            detail::resolveView(items_[col].second, cellContext(col), built);
            for (auto& cell : built) {
                h = std::max(h, cell->sizeThatFits({widths[col], std::nullopt}).height);
            }
        }
        rowHeights_.emplace_back(widths, h);
        return h;
    }
    double contentHeight(double rowH) const {
        const std::size_t n = columns_.size();
        const std::size_t rows = (items_.size() + n - 1) / n;
        return rows == 0
                   ? 0
                   : static_cast<double>(rows) * rowH + static_cast<double>(rows - 1) * spacing_;
    }
    Rect cellRect(std::size_t i) const {
        const std::size_t n = columns_.size();
        const std::size_t row = i / n, col = i % n;
        double x = frame().x;
        for (std::size_t c = 0; c < col; ++c) {
            x += widths_[c] + columnSpacing(c);
        }
        return {x, frame().y + static_cast<double>(row) * (rowHeight_ + spacing_), widths_[col],
                rowHeight_};
    }

    ResolveContext ctx_;
    std::vector<std::pair<std::string, View>> items_;
    std::vector<GridItem> columns_;
    double spacing_;
    HorizontalAlignment alignment_;
    std::vector<double> widths_;
    double rowHeight_ = 0;
    std::vector<std::pair<std::vector<double>, double>> rowHeights_;
};

} // namespace

Ptr lazyGrid(Init init, ResolveContext context, std::vector<std::pair<std::string, View>> items,
             std::vector<GridItem> columns, double spacing, HorizontalAlignment alignment) {
    return std::make_unique<LazyGridElement>(std::move(init), std::move(context), std::move(items),
                                             std::move(columns), spacing, alignment);
}

std::optional<Rect> locate(const Element& e, const std::string& id) {
    if (endsWith(e.identity(), "[id=" + id + "]")) {
        return e.frame();
    }
    if (const auto* grid = dynamic_cast<const LazyGridElement*>(&e)) {
        if (auto r = grid->cellFrame(id)) {
            return r;
        }
    }
    for (const auto& c : e.children()) {
        if (auto r = locate(*c, id)) {
            return r;
        }
    }
    return std::nullopt;
}

} // namespace qv::platform::ui::elements
