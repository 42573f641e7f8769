#include "platform/ui/views/Element.hpp"

#include "platform/ui/drawing/Log.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <numeric>

namespace qv::platform::ui {

RenderContext RenderContext::clippedToPath() const {
    RenderContext inner = *this;
    if (inner.partialClip) {
        double x0, y0, x1, y1;
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_path_extents(cr, &x0, &y0, &x1, &y1);
        cairo_restore(cr);
        x0 = std::floor(x0);
        y0 = std::floor(y0);
        inner.partialClip =
            inner.partialClip->intersected({x0, y0, std::ceil(x1) - x0, std::ceil(y1) - y0});
    }
    return inner;
}

Element::Element(std::string kind, std::string identity,
                 std::shared_ptr<const Environment> environment)
    : kind_(std::move(kind)), identity_(std::move(identity)), environment_(std::move(environment)) {
}

void Element::addChild(std::unique_ptr<Element> child) {
    child->parent_ = this;
    children_.push_back(std::move(child));
}

Size Element::sizeThatFits(ProposedSize proposal) {
    for (const auto& [p, s] : cache_) {
        if (p == proposal) {
            return s;
        }
    }
    Size s = measure(proposal);
    if (std::isnan(s.width) || std::isnan(s.height)) {
        logOnce("non-finite size " + identity_,
                "ui: " + identity_ + " measured a non-finite size; it counts as zero");
        s = {std::isnan(s.width) ? 0 : s.width, std::isnan(s.height) ? 0 : s.height};
    }
    cache_.emplace_back(proposal, s);
    return s;
}

void Element::place(const Rect& frame, const PlaceContext& context) {
    frame_ = frame;
    placeContext_ = context;
    toScreen_ = context.toScreen.concat(effect());
    placeChildren();
}

void Element::placeChildren() {
    for (auto& c : children_) {
        placeChild(*c, frame_, Alignment::center());
    }
}

void Element::placeChild(Element& c, const Rect& container, Alignment alignment,
                         std::optional<ProposedSize> proposal) {
    Size s = c.sizeThatFits(proposal.value_or(ProposedSize::of(container.size())));
    Point origin = aligned(s, container, alignment);
    placeChildAt(c, {origin.x, origin.y, s.width, s.height});
}

void Element::placeChildAt(Element& c, const Rect& frame) {
    PlaceContext inner = placeContext_;
    inner.toScreen = toScreen_;
    c.place(frame, inner);
}

void Element::render(const RenderContext& context) const {
    const Transform t = effect();
    const char* fault = !isFinite(t)         ? "transform"
                        : !isFinite(frame_)  ? "frame"
                        : !hasFiniteValues() ? "drawing value"
                                             : nullptr;
    if (fault != nullptr) {
        reportNonFinite(fault);
        return;
    }
    if (t.isSingular()) {
        return; // scaled to nothing: it would draw nothing, and Cairo refuses the matrix
    }
    if (t.isIdentity()) {
        drawContent(context);
        return;
    }
    cairo_save(context.cr);
    cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    cairo_transform(context.cr, &m);
    drawContent(context);
    cairo_restore(context.cr);
}

void Element::reportNonFinite(const char* what) const {
    logOnce(std::string("non-finite ") + what + " " + identity_,
            "ui: " + identity_ + " has a non-finite " + what + "; it is not drawn");
}

void Element::drawContent(const RenderContext& context) const {
    drawSelf(context);
    drawChildren(context);
}

void Element::drawChildren(const RenderContext& context) const {
    bool ordered = std::all_of(children_.begin(), children_.end(),
                               [](const auto& c) { return c->zIndex() == 0; });
    if (ordered) {
        for (const auto& c : children_) {
            c->render(context);
        }
        return;
    }
    std::vector<size_t> order(children_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return children_[a]->zIndex() < children_[b]->zIndex();
    });
    for (size_t i : order) {
        children_[i]->render(context);
    }
}

std::optional<double> Element::textBaseline(bool last) const {
    std::optional<double> out;
    for (const auto& c : children_) {
        if (auto b = c->textBaseline(last)) {
            out = !out ? *b : last ? std::max(*out, *b) : std::min(*out, *b);
        }
    }
    return out;
}

bool Element::firstDrawnChildPaintsOpaque(const Rect& area) const {
    // Drawing order is by z index, then by position; the lowest z drawn first.
    auto first =
        std::min_element(children_.begin(), children_.end(),
                         [](const auto& a, const auto& b) { return a->zIndex() < b->zIndex(); });
    return first != children_.end() && (*first)->paintsOpaque(area);
}

std::vector<const Element*> Element::drawingOrder() const {
    std::vector<const Element*> order;
    order.reserve(children_.size());
    for (const auto& c : children_) {
        order.push_back(c.get());
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Element* a, const Element* b) { return a->zIndex() < b->zIndex(); });
    return order;
}

double Element::inheritedOpacity() const {
    double opacity = 1;
    for (const Element* e = this; e != nullptr; e = e->parent()) {
        opacity *= e->ownOpacity();
    }
    return opacity;
}

Rect Element::visualBounds() const {
    if (clipsContent()) {
        return screenFrame();
    }
    Rect r = ownVisualBounds();
    for (const auto& c : children_) {
        r = r.united(c->visualBounds());
    }
    return r;
}

Rect Element::contentPaintBounds() const {
    if (clipsContent()) {
        return screenFrame();
    }
    Rect r = ownVisualBounds();
    for (const auto& c : children_) {
        r = r.united(c->reach(c->contentPaintBounds()));
    }
    return r;
}

Rect Element::damageBounds() const {
    if (clipsContent()) {
        return reach(screenFrame());
    }
    Rect r = ownDamageBounds();
    for (const auto& c : children_) {
        r = r.united(c->damageBounds());
    }
    return reach(r);
}

Rect Element::damageOnScreen() const {
    Rect r = damageBounds();
    for (const Element* e = parent_; e != nullptr; e = e->parent_) {
        r = e->reach(r);
    }
    return r;
}

} // namespace qv::platform::ui
