#include "platform/ui/views/Views.hpp"

#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/detail/DuplicateKeys.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui {
namespace {

// Resolves the children of a container: child i stands at "<identity>[i]"
// (or at its explicit key), and groups, conditionals and lists splice their
// elements in.
ElementList resolveChildren(const std::vector<std::pair<std::string, View>>& children,
                            const ResolveContext& ctx, const std::string& identity,
                            const std::shared_ptr<const Environment>& env) {
    ElementList out;
    for (const auto& [key, view] : children) {
        detail::resolveView(view, ctx.at(identity + "[" + key + "]", env), out);
    }
    return out;
}

// The children of a stack: resolved, and their identities checked for repeats.
ElementList stackChildren(const std::vector<std::pair<std::string, View>>& children,
                          const ResolveContext& ctx, const std::string& identity,
                          const std::shared_ptr<const Environment>& env) {
    ElementList out = resolveChildren(children, ctx, identity, env);
    std::vector<std::string> identities;
    identities.reserve(out.size());
    for (const auto& e : out) {
        identities.push_back(e->identity());
    }
    detail::reportDuplicateKeys(identity, identities);
    return out;
}

std::vector<std::pair<std::string, View>> indexed(std::vector<View> views) {
    std::vector<std::pair<std::string, View>> out;
    out.reserve(views.size());
    for (size_t i = 0; i < views.size(); ++i) {
        out.emplace_back(std::to_string(i), std::move(views[i]));
    }
    return out;
}

std::shared_ptr<const Environment> withAxis(const Environment& env, std::optional<Axis> axis) {
    if (env.stackAxis == axis) {
        return std::make_shared<const Environment>(env);
    }
    auto e = std::make_shared<Environment>(env);
    e->stackAxis = axis;
    return e;
}

class StackNode final : public ViewNode {
public:
    StackNode(std::vector<View> children, Axis axis, int alignment, std::optional<double> spacing)
        : children_(indexed(std::move(children))), axis_(axis), alignment_(alignment),
          spacing_(spacing) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        std::string kind = axis_ == Axis::vertical ? "VStack" : "HStack";
        std::string identity = ctx.path + "/" + kind;
        auto children = stackChildren(children_, ctx, identity, withAxis(*ctx.environment, axis_));
        out.push_back(elements::stack({kind, identity, ctx.environment}, axis_, alignment_,
                                      spacing_.value_or(kDefaultSpacing), std::move(children)));
    }

private:
    std::vector<std::pair<std::string, View>> children_;
    Axis axis_;
    int alignment_;
    std::optional<double> spacing_;
};

class ZStackNode final : public ViewNode {
public:
    ZStackNode(std::vector<View> children, Alignment alignment)
        : children_(indexed(std::move(children))), alignment_(alignment) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        std::string identity = ctx.path + "/ZStack";
        auto children =
            stackChildren(children_, ctx, identity, withAxis(*ctx.environment, std::nullopt));
        out.push_back(elements::zstack({"ZStack", identity, ctx.environment}, alignment_,
                                       std::move(children)));
    }

private:
    std::vector<std::pair<std::string, View>> children_;
    Alignment alignment_;
};

class GroupNode final : public ViewNode {
public:
    explicit GroupNode(std::vector<std::pair<std::string, View>> children)
        : children_(std::move(children)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        for (auto& e : resolveChildren(children_, ctx, ctx.path, ctx.environment)) {
            out.push_back(std::move(e));
        }
    }
    bool expand(std::vector<std::pair<std::string, View>>& out) const override {
        for (const auto& [key, view] : children_) {
            std::vector<std::pair<std::string, View>> inner;
            if (view.node() && view.node()->expand(inner)) {
                // A nested group's children keep their own keys (a ForEach's ids).
                for (auto& child : inner) {
                    out.push_back(std::move(child));
                }
            } else {
                out.emplace_back(key, view);
            }
        }
        return true;
    }

private:
    std::vector<std::pair<std::string, View>> children_;
};

// A leaf whose element depends only on the context.
class LeafNode final : public ViewNode {
public:
    using Make = std::function<elements::Ptr(const ResolveContext&)>;
    explicit LeafNode(Make make) : make_(std::move(make)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        out.push_back(make_(ctx));
    }

private:
    Make make_;
};

View leaf(LeafNode::Make make) {
    return View(std::make_shared<LeafNode>(std::move(make)));
}

int crossIndex(HorizontalAlignment a) {
    return a == HorizontalAlignment::leading ? 0 : a == HorizontalAlignment::center ? 1 : 2;
}
int crossIndex(VerticalAlignment a) {
    switch (a) {
    case VerticalAlignment::top:
        return 0;
    case VerticalAlignment::center:
        return 1;
    case VerticalAlignment::bottom:
        return 2;
    case VerticalAlignment::firstTextBaseline:
        return 3;
    case VerticalAlignment::lastTextBaseline:
        return 4;
    }
    return 1;
}

} // namespace

View VStack(std::vector<View> children, HorizontalAlignment alignment,
            std::optional<double> spacing) {
    return View(std::make_shared<StackNode>(std::move(children), Axis::vertical,
                                            crossIndex(alignment), spacing));
}

View HStack(std::vector<View> children, VerticalAlignment alignment,
            std::optional<double> spacing) {
    return View(std::make_shared<StackNode>(std::move(children), Axis::horizontal,
                                            crossIndex(alignment), spacing));
}

View ZStack(std::vector<View> children, Alignment alignment) {
    return View(std::make_shared<ZStackNode>(std::move(children), alignment));
}

View Spacer(double minLength) {
    return leaf([minLength](const ResolveContext& ctx) {
        return elements::spacer({"Spacer", ctx.path + "/Spacer", ctx.environment}, minLength);
    });
}

View GeometryReader(std::function<View(const GeometryProxy&)> content) {
    return leaf([content](const ResolveContext& ctx) {
        std::string identity = ctx.path + "/GeometryReader";
        ResolveContext inner =
            ctx.at(identity + "[content]", withAxis(*ctx.environment, std::nullopt));
        return elements::geometryReader({"GeometryReader", identity, ctx.environment}, content,
                                        inner);
    });
}

View Group(std::vector<View> children) {
    return View(std::make_shared<GroupNode>(indexed(std::move(children))));
}

namespace detail {
View keyedGroup(std::vector<std::pair<std::string, View>> views) {
    std::vector<std::pair<std::string, View>> keyed;
    keyed.reserve(views.size());
    for (auto& [key, view] : views) {
        keyed.emplace_back("id=" + key, std::move(view));
    }
    return View(std::make_shared<GroupNode>(std::move(keyed)));
}
} // namespace detail

View If(bool condition, const std::function<View()>& content) {
    if (!condition) {
        return View();
    }
    return View(
        std::make_shared<GroupNode>(std::vector<std::pair<std::string, View>>{{"if", content()}}));
}

View IfElse(bool condition, const std::function<View()>& then,
            const std::function<View()>& otherwise) {
    return View(std::make_shared<GroupNode>(std::vector<std::pair<std::string, View>>{
        {condition ? "if" : "else", condition ? then() : otherwise()}}));
}

View ForEach(int count, const std::function<View(int)>& content) {
    std::vector<std::pair<std::string, View>> views;
    for (int i = 0; i < count; ++i) {
        views.emplace_back(std::to_string(i), content(i));
    }
    return detail::keyedGroup(std::move(views));
}

View Text(std::string verbatim) {
    return leaf([text = std::move(verbatim)](const ResolveContext& ctx) {
        return elements::text({"Text", ctx.path + "/Text", ctx.environment}, text);
    });
}

View Text(const LocalizedStringKey& key) {
    return Text(localizedString(key.key));
}

View Text(const char* key) {
    return Text(LocalizedStringKey{key != nullptr ? key : ""});
}

Image::Image(Kind kind, std::string name, Bitmap bitmap, std::shared_ptr<const RgbaImage> media,
             bool resizable)
    : View(leaf([=](const ResolveContext& ctx) {
          return elements::image({"Image", ctx.path + "/Image", ctx.environment}, kind, name,
                                 {bitmap, media}, resizable);
      })),
      kind_(kind), name_(std::move(name)), bitmap_(std::move(bitmap)), media_(std::move(media)) {}

Image Image::system(const std::string& name) {
    return Image(Kind::symbol, name, {}, nullptr, false);
}
Image Image::named(const std::string& name) {
    return Image(Kind::asset, name, {}, nullptr, false);
}
Image::Image(Bitmap bitmap) : Image(Kind::bitmap, "", std::move(bitmap), nullptr, false) {}
Image::Image(std::shared_ptr<const RgbaImage> image)
    : Image(Kind::bitmap, "", {}, std::move(image), false) {}
Image Image::resizable() const {
    return Image(kind_, name_, bitmap_, media_, true);
}

namespace {
View shapeLeaf(const Shape& shape, std::optional<ShapeStyle> style,
               std::optional<StrokeStyle> stroke) {
    return leaf([=](const ResolveContext& ctx) {
        std::string identity = ctx.path + "/Shape";
        // The trim range animates (a progress ring's arc).
        Shape shown =
            shape.withTrimRange(detail::animated(identity + "|trimFrom", shape.trimFrom()),
                                detail::animated(identity + "|trimTo", shape.trimTo()));
        return elements::shape({"Shape", std::move(identity), ctx.environment}, shown, style,
                               stroke);
    });
}
} // namespace

ShapeView::ShapeView(Shape shape)
    : View(shapeLeaf(shape, std::nullopt, std::nullopt)), shape_(std::move(shape)) {}

View ShapeView::fill(const ShapeStyle& style) const {
    return shapeLeaf(shape_, style, std::nullopt);
}

View ShapeView::stroke(const ShapeStyle& style, const StrokeStyle& stroke) const {
    return shapeLeaf(shape_, style, stroke);
}

View ShapeView::stroke(const ShapeStyle& style, double lineWidth) const {
    StrokeStyle s;
    s.lineWidth = lineWidth;
    return stroke(style, s);
}

ShapeView ShapeView::trim(double from, double to) const {
    return ShapeView(shape_.trim(from, to));
}
ShapeView ShapeView::inset(double amount) const {
    return ShapeView(shape_.inset(amount));
}

ShapeView Rectangle() {
    return ShapeView(Shape([](const Rect& r) {
        Path p;
        p.addRect(r);
        return p;
    }));
}

ShapeView RoundedRectangle(double cornerRadius, RoundedCornerStyle style) {
    return RoundedRectangle(Size{cornerRadius, cornerRadius}, style);
}

ShapeView RoundedRectangle(Size cornerSize, RoundedCornerStyle style) {
    return ShapeView(Shape([=](const Rect& r) {
        return roundedRectPath(r, cornerSize.width, cornerSize.height, style);
    }));
}

ShapeView Circle() {
    return ShapeView(Shape([](const Rect& r) {
        double d = std::min(r.width, r.height);
        Path p;
        p.addEllipse({r.midX() - d / 2, r.midY() - d / 2, d, d});
        return p;
    }));
}

ShapeView Capsule() {
    return ShapeView(Shape([](const Rect& r) {
        double radius = std::min(r.width, r.height) / 2;
        return roundedRectPath(r, radius, radius, RoundedCornerStyle::circular);
    }));
}

ShapeView PathShape(std::function<Path(const Rect&)> path) {
    return ShapeView(Shape(std::move(path)));
}

} // namespace qv::platform::ui
