// The gesture modifiers of View: each attaches a recogniser to the view's element.

#include "platform/input/Gestures.hpp"
#include "platform/ui/views/Element.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/detail/GestureSource.hpp"
#include "platform/ui/views/elements/LayoutElement.hpp"

#include <variant>

namespace qv::platform::ui {
namespace {

struct TapSpec {
    int count;
    std::function<void()> action;
};
struct LongPressSpec {
    double minimumDuration;
    double maximumDistance;
    std::function<void()> action;
};
using GestureSpec = std::variant<TapSpec, LongPressSpec, DragGesture>;

DragValue toView(const input::DragValue& v) {
    return {{v.location.x, v.location.y},
            {v.startLocation.x, v.startLocation.y},
            {v.translation.x, v.translation.y},
            v.time};
}

// Carries the gestures attached to one view; it takes the view's size and place.
class GestureElement final : public elements::LayoutElement, public GestureSource {
public:
    GestureElement(std::string identity, std::shared_ptr<const Environment> env,
                   std::unique_ptr<Element> child, std::shared_ptr<const void> retained)
        : LayoutElement("gesture", std::move(identity), std::move(env)),
          retained_(std::move(retained)) {
        addChild(std::move(child));
    }

    void add(GestureSpec spec) { specs_.push_back(std::move(spec)); }

    void
    makeRecognizers(std::vector<std::unique_ptr<input::GestureRecognizer>>& out) const override {
        if (!environment().isEnabled) {
            return;
        }
        // Handlers keep the build's view values alive: a gesture may outlive its tree.
        auto keep = retained_;
        for (const auto& spec : specs_) {
            if (const auto* tap = std::get_if<TapSpec>(&spec)) {
                out.push_back(std::make_unique<input::TapRecognizer>(
                    tap->count, [keep, action = tap->action] { action(); }));
            } else if (const auto* press = std::get_if<LongPressSpec>(&spec)) {
                out.push_back(std::make_unique<input::LongPressRecognizer>(
                    press->minimumDuration, press->maximumDistance,
                    [keep, action = press->action] { action(); }));
            } else {
                const auto& drag = std::get<DragGesture>(spec);
                input::CoordinateSpace space = [](input::Point p) { return p; };
                if (drag.coordinateSpace == CoordinateSpace::local) {
                    // The view's own space where the press began.
                    const Transform toLocal = toScreen().inverted();
                    const Point origin = frame().origin();
                    space = [toLocal, origin](input::Point p) {
                        const Point q = toLocal.apply(Point{p.x, p.y});
                        return input::Point{q.x - origin.x, q.y - origin.y};
                    };
                }
                auto changed = drag.changed;
                auto ended = drag.ended;
                out.push_back(std::make_unique<input::DragRecognizer>(
                    drag.minimumDistance, space,
                    [keep, changed](const input::DragValue& v) {
                        if (changed) {
                            changed(toView(v));
                        }
                    },
                    [keep, ended](const input::DragValue& v) {
                        if (ended) {
                            ended(toView(v));
                        }
                    }));
            }
        }
    }

protected:
    Size measure(ProposedSize p) override { return child(0).sizeThatFits(p); }
    void placeChildren() override { placeChildAt(child(0), frame()); }

private:
    std::vector<GestureSpec> specs_;
    std::shared_ptr<const void> retained_;
};

// Attaches a gesture to each outermost element of the content; gestures attached to
// one view one after the other land on the same element, so they compete as one
// view's gestures.
class GestureNode final : public ViewNode {
public:
    GestureNode(View content, GestureSpec spec)
        : content_(std::move(content)), spec_(std::move(spec)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        ElementList content;
        detail::resolveView(content_, ctx, content);
        detail::BuildSession* s = detail::BuildSession::current();
        std::shared_ptr<const void> retained = s != nullptr ? s->retained : nullptr;
        for (auto& e : content) {
            if (auto* g = dynamic_cast<GestureElement*>(e.get())) {
                g->add(spec_);
                out.push_back(std::move(e));
                continue;
            }
            std::string identity = e->identity() + "/gesture";
            const double z = e->zIndex(), priority = e->layoutPriority();
            auto g = std::make_unique<GestureElement>(std::move(identity), ctx.environment,
                                                      std::move(e), retained);
            g->setZIndex(z);
            g->setLayoutPriority(priority);
            g->add(spec_);
            out.push_back(std::move(g));
        }
    }

private:
    View content_;
    GestureSpec spec_;
};

View attach(const View& v, GestureSpec spec) {
    return View(std::make_shared<GestureNode>(v, std::move(spec)));
}

} // namespace

View View::onTapGesture(int count, std::function<void()> action) const {
    return attach(*this, TapSpec{std::max(1, count), std::move(action)});
}

View View::onLongPressGesture(double minimumDuration, double maximumDistance,
                              std::function<void()> action) const {
    return attach(*this, LongPressSpec{minimumDuration, maximumDistance, std::move(action)});
}

View View::gesture(const DragGesture& drag) const {
    return attach(*this, drag);
}

View View::allowsHitTesting(bool enabled) const {
    return transformEnvironment(
        [enabled](Environment& env) { env.allowsHitTesting = env.allowsHitTesting && enabled; });
}

} // namespace qv::platform::ui
