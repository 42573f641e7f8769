#include "platform/ui/views/View.hpp"

#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

#include <cxxabi.h>

namespace qv::platform::ui {

std::string typeName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled != nullptr ? demangled : type.name();
    std::free(demangled);
    // Keep the unqualified name: identities read "/VStack[0]/Badge/...".
    auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

namespace {

thread_local const ResolveContext* currentContext = nullptr;

class EmptyNode final : public ViewNode {
public:
    void resolve(const ResolveContext&, ElementList&) const override {}
};

class ColorNode final : public ViewNode {
public:
    explicit ColorNode(Color c) : color_(c) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        out.push_back(elements::shape({"Color", ctx.path + "/Color", ctx.environment},
                                      Shape([](const Rect& r) {
                                          Path p;
                                          p.addRect(r);
                                          return p;
                                      }),
                                      ShapeStyle(color_), std::nullopt));
    }

private:
    Color color_;
};

// A modifier that wraps each element of its content in a new element.
class WrapNode final : public ViewNode {
public:
    using Wrap = std::function<elements::Ptr(elements::Init, elements::Ptr)>;
    WrapNode(View content, std::string kind, Wrap wrap)
        : content_(std::move(content)), kind_(std::move(kind)), wrap_(std::move(wrap)) {}

    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        ResolveContext inner = ctx.child(kind_);
        ElementList content;
        detail::resolveView(content_, inner, content);
        for (size_t i = 0; i < content.size(); ++i) {
            std::string identity = inner.path;
            if (content.size() > 1) {
                identity.append("#").append(std::to_string(i));
            }
            out.push_back(wrap_({kind_, identity, ctx.environment}, std::move(content[i])));
        }
    }

private:
    View content_;
    std::string kind_;
    Wrap wrap_;
};

// Overlay and background: the secondary view is resolved once per primary element.
class LayersNode final : public ViewNode {
public:
    LayersNode(View primary, View secondary, Alignment alignment, bool onTop)
        : primary_(std::move(primary)), secondary_(std::move(secondary)), alignment_(alignment),
          onTop_(onTop) {}

    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        const char* kind = onTop_ ? "overlay" : "background";
        ResolveContext inner = ctx.child(kind);
        ElementList primaries;
        detail::resolveView(primary_, inner, primaries);
        for (auto& p : primaries) {
            auto env = std::make_shared<Environment>(*ctx.environment);
            env->stackAxis.reset();
            ResolveContext second = ctx.at(inner.path + "[secondary]", env);
            ElementList secondaries;
            detail::resolveView(secondary_, second, secondaries);
            elements::Ptr s = secondaries.size() == 1
                                  ? std::move(secondaries.front())
                                  : elements::zstack({"ZStack", second.path + "/ZStack", env},
                                                     Alignment::center(), std::move(secondaries));
            out.push_back(elements::layers({kind, inner.path, ctx.environment}, std::move(p),
                                           std::move(s), alignment_, onTop_));
        }
    }

private:
    View primary_, secondary_;
    Alignment alignment_;
    bool onTop_;
};

// Changes the environment for the content; adds no element.
class EnvironmentNode final : public ViewNode {
public:
    EnvironmentNode(View content, std::function<void(Environment&)> change)
        : content_(std::move(content)), change_(std::move(change)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        auto env = std::make_shared<Environment>(*ctx.environment);
        change_(*env);
        detail::resolveView(content_, ctx.at(ctx.path, env), out);
    }

private:
    View content_;
    std::function<void(Environment&)> change_;
};

// Sets a property on each outermost element of the content; adds no element.
class PropertyNode final : public ViewNode {
public:
    PropertyNode(View content, std::function<void(Element&)> set)
        : content_(std::move(content)), set_(std::move(set)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        size_t first = out.size();
        detail::resolveView(content_, ctx, out);
        for (size_t i = first; i < out.size(); ++i) {
            set_(*out[i]);
        }
    }

private:
    View content_;
    std::function<void(Element&)> set_;
};

// Resolves the content at an explicit position instead of its structural one.
class IdNode final : public ViewNode {
public:
    IdNode(View content, std::string id) : content_(std::move(content)), id_(std::move(id)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        std::string path = ctx.path;
        if (!path.empty() && path.back() == ']') {
            path.erase(path.rfind('['));
        }
        detail::resolveView(content_, ctx.at(path + "[id=" + id_ + "]", ctx.environment), out);
    }

private:
    View content_;
    std::string id_;
};

View wrap(const View& content, std::string kind, WrapNode::Wrap w) {
    return View(std::make_shared<WrapNode>(content, std::move(kind), std::move(w)));
}

View withEnvironment(const View& content, std::function<void(Environment&)> change) {
    return View(std::make_shared<EnvironmentNode>(content, std::move(change)));
}

View withProperty(const View& content, std::function<void(Element&)> set) {
    return View(std::make_shared<PropertyNode>(content, std::move(set)));
}

} // namespace

const ResolveContext* ResolveContext::current() {
    return currentContext;
}

ResolveContext ResolveContext::child(const std::string& component) const {
    return {path + "/" + component, environment, owner};
}

namespace detail {

View withContext(const ResolveContext& context, const std::function<View()>& body) {
    const ResolveContext* saved = currentContext;
    currentContext = &context;
    struct Restore {
        const ResolveContext* saved;
        ~Restore() { currentContext = saved; }
    } restore{saved};
    return body();
}

void resolveView(const View& view, const ResolveContext& context, ElementList& out) {
    if (view.node()) {
        view.node()->resolve(context, out);
    }
}

} // namespace detail

View::View() : node_(std::make_shared<EmptyNode>()) {}

View::View(const Color& color) : node_(std::make_shared<ColorNode>(color)) {}

View View::padding(double length) const {
    return padding(Edges::all, length);
}

View View::padding(Edges edges, double length) const {
    auto at = [&](Edges e) { return contains(edges, e) ? length : 0.0; };
    return padding(
        EdgeInsets{at(Edges::top), at(Edges::leading), at(Edges::bottom), at(Edges::trailing)});
}

View View::padding(EdgeInsets insets) const {
    return wrap(*this, "padding", [insets](auto init, auto child) {
        return elements::padding(std::move(init), std::move(child), insets);
    });
}

View View::frame(std::optional<double> width, std::optional<double> height,
                 Alignment alignment) const {
    return wrap(*this, "frame", [=](auto init, auto child) {
        return elements::fixedFrame(std::move(init), std::move(child), width, height, alignment);
    });
}

View View::frame(const FrameLimits& limits) const {
    return wrap(*this, "frame", [limits](auto init, auto child) {
        return elements::flexibleFrame(std::move(init), std::move(child), limits);
    });
}

View View::fixedSize(bool horizontal, bool vertical) const {
    return wrap(*this, "fixedSize", [=](auto init, auto child) {
        return elements::fixedSize(std::move(init), std::move(child), horizontal, vertical);
    });
}

View View::aspectRatio(std::optional<double> ratio, ContentMode mode) const {
    return wrap(*this, "aspectRatio", [=](auto init, auto child) {
        return elements::aspectRatio(std::move(init), std::move(child), ratio, mode);
    });
}

View View::position(double x, double y) const {
    return wrap(*this, "position", [=](auto init, auto child) {
        return elements::position(std::move(init), std::move(child), {x, y});
    });
}

View View::offset(double x, double y) const {
    return wrap(*this, "offset", [=](auto init, auto child) {
        const double dx = detail::animated(init.identity + "|offsetX", x);
        const double dy = detail::animated(init.identity + "|offsetY", y);
        return elements::offset(std::move(init), std::move(child), dx, dy);
    });
}

View View::overlay(const View& view, Alignment alignment) const {
    return View(std::make_shared<LayersNode>(*this, view, alignment, true));
}

View View::background(const View& view, Alignment alignment) const {
    return View(std::make_shared<LayersNode>(*this, view, alignment, false));
}

View View::ignoresSafeArea(SafeAreaRegions, Edges edges) const {
    // The app has no keyboard, so every region is the container's.
    return wrap(*this, "ignoresSafeArea", [edges](auto init, auto child) {
        return elements::ignoresSafeArea(std::move(init), std::move(child), edges);
    });
}

View View::layoutPriority(double priority) const {
    return withProperty(*this, [priority](Element& e) { e.setLayoutPriority(priority); });
}

View View::zIndex(double z) const {
    return withProperty(*this, [z](Element& e) { e.setZIndex(z); });
}

View View::opacity(double value) const {
    return wrap(*this, "opacity", [value](auto init, auto child) {
        const double shown = detail::animated(init.identity + "|opacity", value);
        return elements::opacity(std::move(init), std::move(child), shown);
    });
}

View View::rotationEffect(double radians, UnitPoint anchor) const {
    return wrap(*this, "rotationEffect", [=](auto init, auto child) {
        const double shown = detail::animated(init.identity + "|rotation", radians);
        return elements::rotation(std::move(init), std::move(child), shown, anchor);
    });
}

View View::scaleEffect(double x, double y, UnitPoint anchor) const {
    return wrap(*this, "scaleEffect", [=](auto init, auto child) {
        const double sx = detail::animated(init.identity + "|scaleX", x);
        const double sy = detail::animated(init.identity + "|scaleY", y);
        return elements::scale(std::move(init), std::move(child), sx, sy, anchor);
    });
}

View View::shadow(const Color& color, double radius, double x, double y) const {
    return wrap(*this, "shadow", [=](auto init, auto child) {
        return elements::shadow(std::move(init), std::move(child), color, radius, x, y);
    });
}

View View::blur(double radius, bool opaque) const {
    return wrap(*this, "blur", [=](auto init, auto child) {
        return elements::blur(std::move(init), std::move(child), radius, opaque);
    });
}

View View::colorInvert() const {
    return wrap(*this, "colorInvert", [](auto init, auto child) {
        return elements::colorInvert(std::move(init), std::move(child));
    });
}

View View::clipShape(const Shape& shape) const {
    return wrap(*this, "clipShape", [shape](auto init, auto child) {
        return elements::clip(std::move(init), std::move(child), shape);
    });
}

View View::clipped() const {
    return clipShape(Rectangle());
}

View View::contentShape(const Shape& shape) const {
    return withProperty(*this, [shape](Element& e) { e.setContentShape(shape); });
}

View View::foregroundColor(const Color& color) const {
    return withEnvironment(*this, [color](Environment& env) {
        env.foreground = color;
        env.foregroundLevel = HierarchicalStyle::primary;
    });
}

View View::foregroundStyle(const ShapeStyle& style) const {
    return withEnvironment(*this, [style](Environment& env) {
        // A colour replaces the foreground; a level keeps it and changes the level.
        if (auto color = style.color()) {
            env.foreground = *color;
            env.foregroundLevel = HierarchicalStyle::primary;
        } else {
            env.foregroundLevel = *style.level();
        }
    });
}

View View::font(const Font& f) const {
    return withEnvironment(*this, [f](Environment& env) { env.font = f; });
}

View View::fontWeight(FontWeight weight) const {
    return withEnvironment(*this, [weight](Environment& env) { env.font.weight = weight; });
}

View View::monospacedDigit() const {
    return withEnvironment(*this, [](Environment& env) { env.font.monospacedDigits = true; });
}

View View::lineLimit(std::optional<int> lines) const {
    return withEnvironment(*this, [lines](Environment& env) { env.lineLimit = lines; });
}

View View::minimumScaleFactor(double factor) const {
    return withEnvironment(*this, [factor](Environment& env) { env.minimumScaleFactor = factor; });
}

View View::multilineTextAlignment(TextAlignment alignment) const {
    return withEnvironment(
        *this, [alignment](Environment& env) { env.multilineTextAlignment = alignment; });
}

View View::imageScale(ImageScale scale) const {
    return withEnvironment(*this, [scale](Environment& env) { env.imageScale = scale; });
}

View View::colorScheme(ColorScheme scheme) const {
    return withEnvironment(*this, [scheme](Environment& env) { env.colorScheme = scheme; });
}

View View::textSelection(bool enabled) const {
    return withEnvironment(*this,
                           [enabled](Environment& env) { env.textSelectionEnabled = enabled; });
}

View View::disabled(bool disabled) const {
    return withEnvironment(
        *this, [disabled](Environment& env) { env.isEnabled = env.isEnabled && !disabled; });
}

View View::transformEnvironment(std::function<void(Environment&)> change) const {
    return withEnvironment(*this, std::move(change));
}

View View::id(const std::string& id) const {
    return View(std::make_shared<IdNode>(*this, id));
}

View View::testTag(const std::string& tag) const {
    return withProperty(*this, [tag](Element& e) { e.setTag(tag); });
}

} // namespace qv::platform::ui
