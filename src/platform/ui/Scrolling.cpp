// Scroll views, scroll readers, lazy grids and lists.

#include "platform/ui/Scrolling.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/input/Gestures.hpp"
#include "platform/ui/ElementKinds.hpp"
#include "platform/ui/GraphCore.hpp"
#include "platform/ui/HitTest.hpp"
#include "platform/ui/Views.hpp"

#include <cairo.h>

namespace qv::platform::ui {
namespace {

// How far a press must move before the content scrolls.
constexpr double kScrollSlop = 10;

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class LazyGridElement;

// Where the view keyed `id` stands (layout coordinates) in a placed subtree.
std::optional<Rect> locate(const Element& e, const std::string& id);

class LazyGridElement final : public Element {
public:
    LazyGridElement(elements::Init init, ResolveContext ctx,
                    std::vector<std::pair<std::string, View>> items, std::vector<GridItem> columns,
                    double spacing, HorizontalAlignment alignment)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          ctx_(std::move(ctx)), items_(std::move(items)), columns_(std::move(columns)),
          spacing_(spacing), alignment_(alignment) {
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

class ScrollViewElement final : public Element, public GestureSource {
public:
    ScrollViewElement(elements::Init init, elements::Ptr content, bool indicators)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          indicators_(indicators) {
        addChild(std::move(content));
        detail::BuildSession* s = detail::BuildSession::current();
        if (s != nullptr && s->core() != nullptr) {
            if (!s->isProbing()) {
                s->keepAlive(identity());
            }
            offset_ = s->core()->elementState<double>(identity(), "offset", 0.0);
            core_ = s->core();
        } else {
            offset_ = std::make_shared<detail::StateBox<double>>(0.0);
        }
    }

    bool clipsContent() const override { return true; }
    bool admitsInput(Point p) const override { return frame().contains(p); }
    // The whole visible part takes presses, so the content scrolls from anywhere.
    bool hitsContent(Point p) const override { return frame().contains(p); }

    void
    makeRecognizers(std::vector<std::unique_ptr<input::GestureRecognizer>>& out) const override {
        if (!environment().isEnabled || maxOffset_ <= 0) {
            return;
        }
        auto box = offset_;
        const double start = shownOffset_, limit = maxOffset_;
        auto scroll = [box, start, limit](const input::DragValue& v) {
            box->value = std::clamp(start - v.translation.y, 0.0, limit);
            box->changed();
        };
        out.push_back(std::make_unique<input::DragRecognizer>(
            kScrollSlop, [](input::Point p) { return p; }, scroll, scroll));
    }

protected:
    Size measure(ProposedSize p) override {
        Size c = child(0).sizeThatFits({p.width, std::nullopt});
        return {p.width.value_or(c.width), p.height.value_or(c.height)};
    }

    void placeChildren() override {
        Size c = child(0).sizeThatFits({frame().width, std::nullopt});
        contentSize_ = c;
        maxOffset_ = std::max(0.0, c.height - frame().height);
        double offset = std::clamp(offset_->value, 0.0, maxOffset_);
        detail::BuildSession* s = detail::BuildSession::current();
        if (core_ != nullptr && s != nullptr && !s->isProbing()) {
            if (auto request = core_->takeScrollRequest(identity())) {
                // Find the target with the content placed for measuring only.
                {
                    detail::BuildSession::ProbeScope probe(s);
                    placeContent(offset);
                }
                if (auto target = locate(child(0), request->id)) {
                    const double y = target->y - child(0).frame().y;
                    if (const auto& a = request->anchor) {
                        offset = y + target->height * a->y - frame().height * a->y;
                    } else if (y < offset) {
                        offset = y;
                    } else if (y + target->height > offset + frame().height) {
                        offset = y + target->height - frame().height;
                    }
                    offset = std::clamp(offset, 0.0, maxOffset_);
                }
            }
        }
        offset_->value = offset;
        shownOffset_ = offset;
        placeContent(offset);
    }

    void drawContent(const RenderContext& ctx) const override {
        cairo_save(ctx.cr);
        cairo_rectangle(ctx.cr, frame().x, frame().y, frame().width, frame().height);
        cairo_clip(ctx.cr);
        drawChildren(ctx);
        cairo_restore(ctx.cr);
        if (!indicators_ || maxOffset_ <= 0) {
            return;
        }
        const Rect& f = frame();
        const double length = std::max(20.0, f.height * f.height / contentSize_.height);
        const double y = f.y + (f.height - length) * (shownOffset_ / maxOffset_);
        const Path bar = roundedRectPath({f.maxX() - 5, y + 2, 3, length - 4}, 1.5, 1.5,
                                         RoundedCornerStyle::circular);
        bar.apply(ctx.cr);
        const auto c = Color::gray().resolved(environment().colorScheme);
        cairo_set_source_rgba(ctx.cr, c.red, c.green, c.blue, 0.6 * ctx.opacity);
        cairo_fill(ctx.cr);
    }

private:
    // The content is seen only through this view's frame.
    void placeContent(double offset) {
        const Rect& f = frame();
        PlaceContext inner = placeContext();
        inner.toScreen = toScreen();
        inner.visible = inner.visible.intersected(screenFrame());
        child(0).place({f.x + (f.width - contentSize_.width) / 2, f.y - offset, contentSize_.width,
                        contentSize_.height},
                       inner);
    }

    bool indicators_;
    std::shared_ptr<detail::StateBox<double>> offset_;
    detail::GraphCore* core_ = nullptr;
    Size contentSize_{};
    double maxOffset_ = 0;
    double shownOffset_ = 0;
};

class ScrollViewNode final : public ViewNode {
public:
    ScrollViewNode(View content, bool indicators)
        : content_(std::move(content)), indicators_(indicators) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        const std::string identity = ctx.path + "/ScrollView";
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->stackAxis.reset();
        ElementList content;
        detail::resolveView(content_, ctx.at(identity + "[content]", env), content);
        elements::Ptr c =
            content.size() == 1
                ? std::move(content.front())
                : elements::stack({"VStack", identity + "/VStack", env}, Axis::vertical, 1,
                                  kDefaultSpacing, std::move(content));
        out.push_back(std::make_unique<ScrollViewElement>(
            elements::Init{"ScrollView", identity, ctx.environment}, std::move(c), indicators_));
    }

private:
    View content_;
    bool indicators_;
};

class ReaderNode final : public ViewNode {
public:
    explicit ReaderNode(std::function<View(ScrollViewProxy)> content)
        : content_(std::move(content)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        ResolveContext inner = ctx.child("ScrollViewReader");
        detail::BuildSession* s = detail::BuildSession::current();
        std::weak_ptr<detail::GraphCore> core;
        if (s != nullptr && s->core() != nullptr) {
            core = s->core()->weak_from_this();
        }
        View view = detail::withContext(inner, [&] { return content_({core, inner.path}); });
        detail::retainBody(view);
        detail::resolveView(view, inner, out);
    }

private:
    std::function<View(ScrollViewProxy)> content_;
};

class LazyGridNode final : public ViewNode {
public:
    LazyGridNode(std::vector<GridItem> columns, View content, double spacing,
                 HorizontalAlignment alignment)
        : columns_(std::move(columns)), content_(std::move(content)), spacing_(spacing),
          alignment_(alignment) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        std::vector<std::pair<std::string, View>> items;
        if (!content_.node() || !content_.node()->expand(items)) {
            items.emplace_back("0", content_);
        }
        const std::string identity = ctx.path + "/LazyVGrid";
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->stackAxis.reset();
        out.push_back(std::make_unique<LazyGridElement>(
            elements::Init{"LazyVGrid", identity, ctx.environment}, ctx.at(identity, env),
            std::move(items), columns_, spacing_, alignment_));
    }

private:
    std::vector<GridItem> columns_;
    View content_;
    double spacing_;
    HorizontalAlignment alignment_;
};

} // namespace

void ScrollViewProxy::scrollTo(const std::string& id, std::optional<UnitPoint> anchor) const {
    if (auto core = graph_.lock()) {
        core->requestScroll({reader_, id, anchor});
    }
}

View ScrollView(View content, bool showsIndicators) {
    return View(std::make_shared<ScrollViewNode>(std::move(content), showsIndicators));
}

View ScrollViewReader(std::function<View(ScrollViewProxy)> content) {
    return View(std::make_shared<ReaderNode>(std::move(content)));
}

View LazyVGrid(std::vector<GridItem> columns, View content, std::optional<double> spacing,
               HorizontalAlignment alignment) {
    return View(std::make_shared<LazyGridNode>(std::move(columns), std::move(content),
                                               spacing.value_or(kDefaultSpacing), alignment));
}

View List(View content) {
    std::vector<std::pair<std::string, View>> rows;
    if (!content.node() || !content.node()->expand(rows)) {
        rows.emplace_back("0", content);
    }
    std::vector<View> column;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        column.push_back(
            rows[i]
                .second
                .frame(FrameLimits{}.withMaxWidth(kInfinity).withMinHeight(44).withAlignment(
                    Alignment::leading()))
                .padding(Edges::horizontal, 20));
        if (i + 1 < rows.size()) {
            column.push_back(View(Color::gray().opacity(0.4))
                                 .frame(std::nullopt, 0.5)
                                 .padding(Edges::leading, 20));
        }
    }
    return ScrollView(VStack(std::move(column), HorizontalAlignment::leading, 0))
        .background(Color::systemBackground());
}

} // namespace qv::platform::ui
