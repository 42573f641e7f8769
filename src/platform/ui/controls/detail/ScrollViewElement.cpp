#include "platform/ui/controls/detail/ScrollViewElement.hpp"

#include "platform/input/Gestures.hpp"
#include "platform/ui/controls/detail/LazyGridElement.hpp"
#include "platform/ui/drawing/ShapeMasks.hpp"
#include "platform/ui/graph/detail/GraphCore.hpp"
#include "platform/ui/views/detail/GestureSource.hpp"

#include <cairo.h>

namespace qv::platform::ui::elements {
namespace {

// How far a press must move before the content scrolls.
constexpr double kScrollSlop = 10;

class ScrollViewElement final : public Element, public GestureSource, public WheelTarget {
public:
    ScrollViewElement(Init init, Ptr content, bool indicators)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          indicators_(indicators) {
        addChild(std::move(content));
        detail::BuildSession* s = detail::BuildSession::current();
        if (detail::GraphCore* core = detail::GraphCore::of(s)) {
            if (!s->isProbing()) {
                s->keepAlive(identity());
            }
            offset_ = core->elementState<double>(identity(), "offset", 0.0);
            core_ = core;
        } else {
            offset_ = std::make_shared<detail::StateBox<double>>(0.0);
        }
    }

    bool clipsContent() const override { return true; }
    bool admitsInput(Point p) const override { return frame().contains(p); }
    // The content is compared on its own; the clip and the indicator are drawn here.
    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const ScrollViewElement&>(other);
        return o.frame() == frame() && o.toScreen() == toScreen() && o.indicators_ == indicators_ &&
               o.contentSize_ == contentSize_ && o.maxOffset_ == maxOffset_ &&
               o.shownOffset_ == shownOffset_ &&
               o.environment().colorScheme == environment().colorScheme;
    }
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

    // Wheel steps that come before the next rebuild add up: each starts from the offset the
    // last one left, not from the one shown.
    bool scrollByWheel(double points) const override {
        if (!environment().isEnabled || maxOffset_ <= 0) {
            return false;
        }
        offset_->value = std::clamp(offset_->value + points, 0.0, maxOffset_);
        offset_->changed();
        return true;
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
        // A scroll asked for inside an animated transaction moves there over the animation.
        shownOffset_ =
            std::clamp(detail::animated(identity() + "|scrollOffset", offset), 0.0, maxOffset_);
        placeContent(shownOffset_);
    }

    void drawContent(const RenderContext& ctx) const override {
        const Rect& f = frame();
        ctx.drawClipped([&](cairo_t* cr) { cairo_rectangle(cr, f.x, f.y, f.width, f.height); },
                        [&](const RenderContext& inner) { drawChildren(inner); });
        if (!indicators_ || maxOffset_ <= 0) {
            return;
        }
        const double length = std::max(20.0, f.height * f.height / contentSize_.height);
        const double y = f.y + (f.height - length) * (shownOffset_ / maxOffset_);
        const Path bar = roundedRectPath({f.maxX() - 5, y + 2, 3, length - 4}, 1.5, 1.5,
                                         RoundedCornerStyle::circular);
        auto c = Color::gray().resolved(environment().colorScheme);
        c.alpha = 0.6 * ctx.opacity;
        drawShape(ctx.cr, bar, nullptr, c);
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

} // namespace

Ptr scrollView(Init init, Ptr content, bool indicators) {
    return std::make_unique<ScrollViewElement>(std::move(init), std::move(content), indicators);
}

} // namespace qv::platform::ui::elements
