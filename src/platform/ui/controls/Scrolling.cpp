// Scroll views, scroll readers, lazy grids and lists.

#include "platform/ui/controls/Scrolling.hpp"

#include "platform/ui/controls/detail/LazyGridElement.hpp"
#include "platform/ui/controls/detail/ScrollViewElement.hpp"
#include "platform/ui/graph/detail/GraphCore.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/ui/views/detail/DuplicateKeys.hpp"

namespace qv::platform::ui {
namespace {

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
        out.push_back(elements::scrollView(elements::Init{"ScrollView", identity, ctx.environment},
                                           std::move(c), indicators_));
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
        if (detail::GraphCore* graph = detail::GraphCore::of(s)) {
            core = graph->weak_from_this();
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
        std::vector<std::string> keys;
        for (const auto& item : items) {
            keys.push_back(item.first);
        }
        detail::reportDuplicateKeys(identity, keys);
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->stackAxis.reset();
        out.push_back(elements::lazyGrid(elements::Init{"LazyVGrid", identity, ctx.environment},
                                         ctx.at(identity, env), std::move(items), columns_,
                                         spacing_, alignment_));
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
