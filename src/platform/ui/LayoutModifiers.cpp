// Modifiers that change layout: padding, frames, fixed size, aspect ratio,
// position, overlay and background, and reaching into the safe area. Offset
// is here too: it moves the drawing, not the layout.

#include "platform/ui/ElementKinds.hpp"

namespace qv::platform::ui::elements {
namespace {

bool finite(const std::optional<double>& v) {
    return v && std::isfinite(*v);
}

// A modifier element with one child.
class Wrapper : public Element {
public:
    Wrapper(Init init, Ptr child)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)) {
        addChild(std::move(child));
    }
    // Layout modifiers draw nothing of their own.
    bool paintsOpaque(const Rect& area) const override { return content().paintsOpaque(area); }

protected:
    Element& content() const { return child(0); }
};

// A wrapper that offers its child a proposal of its own making, both when it is
// measured and when the child is placed within the wrapper's frame.
class ProposingWrapper : public Wrapper {
public:
    ProposingWrapper(Init init, Ptr child, Alignment alignment)
        : Wrapper(std::move(init), std::move(child)), alignment_(alignment) {}

protected:
    virtual ProposedSize proposalFor(ProposedSize p) const = 0;
    Size measure(ProposedSize p) override { return content().sizeThatFits(proposalFor(p)); }
    void placeChildren() override {
        placeChild(content(), frame(), alignment_, proposalFor(ProposedSize::of(frame().size())));
    }

private:
    Alignment alignment_;
};

class PaddingElement final : public Wrapper {
public:
    PaddingElement(Init init, Ptr child, EdgeInsets insets)
        : Wrapper(std::move(init), std::move(child)), insets_(insets) {}

protected:
    Size measure(ProposedSize p) override {
        double h = insets_.leading + insets_.trailing, v = insets_.top + insets_.bottom;
        auto shrink = [](std::optional<double> x, double by) -> std::optional<double> {
            return x ? std::optional<double>(std::max(0.0, *x - by)) : std::nullopt;
        };
        Size s = content().sizeThatFits({shrink(p.width, h), shrink(p.height, v)});
        return {s.width + h, s.height + v};
    }
    void placeChildren() override {
        const Rect& f = frame();
        Rect inner{f.x + insets_.leading, f.y + insets_.top,
                   std::max(0.0, f.width - insets_.leading - insets_.trailing),
                   std::max(0.0, f.height - insets_.top - insets_.bottom)};
        placeChild(content(), inner, Alignment::center());
    }

private:
    EdgeInsets insets_;
};

class FixedFrameElement final : public Wrapper {
public:
    FixedFrameElement(Init init, Ptr child, std::optional<double> w, std::optional<double> h,
                      Alignment a)
        : Wrapper(std::move(init), std::move(child)), width_(w), height_(h), alignment_(a) {}

protected:
    Size measure(ProposedSize p) override {
        if (width_ && height_) {
            return {*width_, *height_};
        }
        Size c = content().sizeThatFits({width_ ? width_ : p.width, height_ ? height_ : p.height});
        return {width_.value_or(c.width), height_.value_or(c.height)};
    }
    void placeChildren() override { placeChild(content(), frame(), alignment_); }

private:
    std::optional<double> width_, height_;
    Alignment alignment_;
};

class FlexibleFrameElement final : public ProposingWrapper {
public:
    FlexibleFrameElement(Init init, Ptr child, FrameLimits limits)
        : ProposingWrapper(std::move(init), std::move(child), limits.alignment),
          l_(std::move(limits)) {}

protected:
    // The child is offered the proposal clamped to the limits (the ideal length
    // when there is no proposal); the frame then takes the child's answer,
    // grown towards the proposal up to the maximum and at least the minimum.
    static std::optional<double> childProposal(std::optional<double> p, std::optional<double> mn,
                                               std::optional<double> ideal,
                                               std::optional<double> mx) {
        if (!p) {
            return ideal;
        }
        double v = *p;
        if (mx) {
            v = std::min(v, *mx);
        }
        if (mn) {
            v = std::max(v, *mn);
        }
        return v;
    }
    static double result(double child, std::optional<double> p, std::optional<double> mn,
                         std::optional<double> ideal, std::optional<double> mx) {
        if (!mn && !mx) {
            return ideal && !p ? *ideal : child;
        }
        double proposed = p ? *p : ideal.value_or(child);
        double r = child;
        if (mn) {
            r = std::max(*mn, std::min(r, proposed));
        }
        if (mx) {
            r = std::min(*mx, std::max(r, proposed));
        }
        return r;
    }
    ProposedSize proposalFor(ProposedSize p) const override {
        return {childProposal(p.width, l_.minWidth, l_.idealWidth, l_.maxWidth),
                childProposal(p.height, l_.minHeight, l_.idealHeight, l_.maxHeight)};
    }
    Size measure(ProposedSize p) override {
        Size c = content().sizeThatFits(proposalFor(p));
        return {result(c.width, p.width, l_.minWidth, l_.idealWidth, l_.maxWidth),
                result(c.height, p.height, l_.minHeight, l_.idealHeight, l_.maxHeight)};
    }

private:
    FrameLimits l_;
};

class FixedSizeElement final : public ProposingWrapper {
public:
    FixedSizeElement(Init init, Ptr child, bool h, bool v)
        : ProposingWrapper(std::move(init), std::move(child), Alignment::center()), h_(h), v_(v) {}

protected:
    ProposedSize proposalFor(ProposedSize p) const override {
        return {h_ ? std::nullopt : p.width, v_ ? std::nullopt : p.height};
    }

private:
    bool h_, v_;
};

class AspectRatioElement final : public ProposingWrapper {
public:
    AspectRatioElement(Init init, Ptr child, std::optional<double> ratio, ContentMode mode)
        : ProposingWrapper(std::move(init), std::move(child), Alignment::center()), ratio_(ratio),
          mode_(mode) {}

protected:
    // The largest (fit) or smallest (fill) size of the ratio for the proposal;
    // the child is offered that size and the drawing is not scaled.
    ProposedSize proposalFor(ProposedSize p) const override {
        double r = ratio_.value_or(0);
        if (!ratio_) {
            Size ideal = content().sizeThatFits(ProposedSize::unspecified());
            r = ideal.height > 0 ? ideal.width / ideal.height : 1.0;
        }
        if (!(r > 0) || !std::isfinite(r)) {
            return p;
        }
        if (finite(p.width) && finite(p.height)) {
            double w = *p.width, h = *p.height;
            bool wider = w / std::max(h, 1e-12) > r;
            if ((mode_ == ContentMode::fit) == wider) {
                return {h * r, h};
            }
            return {w, w / r};
        }
        if (finite(p.width)) {
            return {*p.width, *p.width / r};
        }
        if (finite(p.height)) {
            return {*p.height * r, *p.height};
        }
        if (!p.width && !p.height) {
            Size ideal = content().sizeThatFits(ProposedSize::unspecified());
            return {ideal.width, ideal.width / r};
        }
        return p;
    }

private:
    std::optional<double> ratio_;
    ContentMode mode_;
};

class PositionElement final : public Wrapper {
public:
    PositionElement(Init init, Ptr child, Point center)
        : Wrapper(std::move(init), std::move(child)), center_(center) {}

protected:
    Size measure(ProposedSize p) override {
        if (p.width && p.height) {
            return {*p.width, *p.height};
        }
        Size ideal = content().sizeThatFits(p);
        return {p.width.value_or(ideal.width), p.height.value_or(ideal.height)};
    }
    void placeChildren() override {
        Size s = content().sizeThatFits(ProposedSize::of(frame().size()));
        placeChildAt(content(), {frame().x + center_.x - s.width / 2,
                                 frame().y + center_.y - s.height / 2, s.width, s.height});
    }

private:
    Point center_;
};

class OffsetElement final : public Wrapper {
public:
    OffsetElement(Init init, Ptr child, double x, double y)
        : Wrapper(std::move(init), std::move(child)), x_(x), y_(y) {}

protected:
    Size measure(ProposedSize p) override { return content().sizeThatFits(p); }
    Transform effect() const override { return Transform::translation(x_, y_); }

private:
    double x_, y_;
};

class LayersElement final : public Element {
public:
    LayersElement(Init init, Ptr primary, Ptr secondary, Alignment alignment, bool onTop)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          alignment_(alignment), onTop_(onTop) {
        addChild(std::move(primary));
        addChild(std::move(secondary));
    }
    bool paintsOpaque(const Rect& area) const override {
        return child(onTop_ ? 0 : 1).paintsOpaque(area);
    }

protected:
    Size measure(ProposedSize p) override { return child(0).sizeThatFits(p); }
    void placeChildren() override {
        placeChildAt(child(0), frame());
        placeChild(child(1), frame(), alignment_);
    }
    std::vector<const Element*> drawingOrder() const override {
        if (onTop_) {
            return {&child(0), &child(1)};
        }
        return {&child(1), &child(0)};
    }
    void drawContent(const RenderContext& context) const override {
        if (onTop_) {
            child(0).render(context);
            child(1).render(context);
        } else {
            child(1).render(context);
            child(0).render(context);
        }
    }

private:
    Alignment alignment_;
    bool onTop_;
};

class SafeAreaElement final : public Wrapper {
public:
    SafeAreaElement(Init init, Ptr child, Edges edges)
        : Wrapper(std::move(init), std::move(child)), edges_(edges) {}

protected:
    Size measure(ProposedSize p) override { return content().sizeThatFits(p); }
    // Edges that touch the safe area's boundary reach out to the screen's.
    void placeChildren() override {
        const Rect& f = frame();
        const Rect& safe = placeContext().safeArea;
        const Rect& screen = placeContext().screen;
        constexpr double eps = 0.5;
        double x0 = f.minX(), y0 = f.minY(), x1 = f.maxX(), y1 = f.maxY();
        if (contains(edges_, Edges::top) && y0 <= safe.minY() + eps) {
            y0 = std::min(y0, screen.minY());
        }
        if (contains(edges_, Edges::leading) && x0 <= safe.minX() + eps) {
            x0 = std::min(x0, screen.minX());
        }
        if (contains(edges_, Edges::bottom) && y1 >= safe.maxY() - eps) {
            y1 = std::max(y1, screen.maxY());
        }
        if (contains(edges_, Edges::trailing) && x1 >= safe.maxX() - eps) {
            x1 = std::max(x1, screen.maxX());
        }
        placeChild(content(), {x0, y0, x1 - x0, y1 - y0}, Alignment::center());
    }

private:
    Edges edges_;
};

} // namespace

Ptr padding(Init init, Ptr child, EdgeInsets insets) {
    return std::make_unique<PaddingElement>(std::move(init), std::move(child), insets);
}
Ptr fixedFrame(Init init, Ptr child, std::optional<double> width, std::optional<double> height,
               Alignment alignment) {
    return std::make_unique<FixedFrameElement>(std::move(init), std::move(child), width, height,
                                               alignment);
}
Ptr flexibleFrame(Init init, Ptr child, FrameLimits limits) {
    return std::make_unique<FlexibleFrameElement>(std::move(init), std::move(child),
                                                  std::move(limits));
}
Ptr fixedSize(Init init, Ptr child, bool horizontal, bool vertical) {
    return std::make_unique<FixedSizeElement>(std::move(init), std::move(child), horizontal,
                                              vertical);
}
Ptr aspectRatio(Init init, Ptr child, std::optional<double> ratio, ContentMode mode) {
    return std::make_unique<AspectRatioElement>(std::move(init), std::move(child), ratio, mode);
}
Ptr position(Init init, Ptr child, Point center) {
    return std::make_unique<PositionElement>(std::move(init), std::move(child), center);
}
Ptr offset(Init init, Ptr child, double x, double y) {
    return std::make_unique<OffsetElement>(std::move(init), std::move(child), x, y);
}
Ptr layers(Init init, Ptr primary, Ptr secondary, Alignment alignment, bool secondaryOnTop) {
    return std::make_unique<LayersElement>(std::move(init), std::move(primary),
                                           std::move(secondary), alignment, secondaryOnTop);
}
Ptr ignoresSafeArea(Init init, Ptr child, Edges edges) {
    return std::make_unique<SafeAreaElement>(std::move(init), std::move(child), edges);
}

} // namespace qv::platform::ui::elements
