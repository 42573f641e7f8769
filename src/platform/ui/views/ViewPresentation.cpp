// Full-screen covers, alerts and transitions.

#include "platform/ui/views/Views.hpp"
#include "platform/ui/views/detail/AlertBox.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui {
namespace {

// Resolves its content; while presented, adds a layer above the whole scene (the tree
// places it after layout): a cover, an alert above every cover, or the window's modal
// layer above both.
class PresentationNode final : public ViewNode {
public:
    PresentationNode(View content, Binding<bool> isPresented, std::string kind,
                     std::function<View()> layer, detail::RootLayerLevel level)
        : content_(std::move(content)), isPresented_(std::move(isPresented)),
          kind_(std::move(kind)), layer_(std::move(layer)), level_(level) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        detail::resolveView(content_, ctx, out);
        detail::BuildSession* s = detail::BuildSession::current();
        if (s == nullptr || s->isProbing() || !isPresented_.get()) {
            return;
        }
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->stackAxis.reset();
        env->dismiss = [binding = isPresented_] { binding.set(false); };
        s->rootLayers.push_back({ctx.path + "/" + kind_, layer_(), env, level_});
    }

private:
    View content_;
    Binding<bool> isPresented_;
    std::string kind_;
    std::function<View()> layer_;
    detail::RootLayerLevel level_;
};

// Wraps each element of its content in the transition's effect; the effect starts
// from the transition's value when the identity is new in an animated build.
class TransitionNode final : public ViewNode {
public:
    TransitionNode(View content, Transition t) : content_(std::move(content)), t_(t) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        ElementList content;
        detail::resolveView(content_, ctx, content);
        detail::BuildSession* session = detail::BuildSession::current();
        for (auto& e : content) {
            if (t_.kind == Transition::Kind::identity) {
                out.push_back(std::move(e));
                continue;
            }
            const std::string key = e->identity() + "|transition";
            elements::Init init{"transition", e->identity() + "/transition", ctx.environment};
            // The effect goes from the transition's value to none when the view comes.
            const double v = detail::animated(key, 1, 0.0);
            elements::Ptr wrapped =
                t_.kind == Transition::Kind::opacity
                    ? elements::opacity(std::move(init), std::move(e), v)
                    : elements::scale(std::move(init), std::move(e), t_.scale + (1 - t_.scale) * v,
                                      t_.scale + (1 - t_.scale) * v, t_.anchor);
            if (session != nullptr && !session->isProbing()) {
                session->transitions[key] = {wrapped.get(), t_};
            }
            out.push_back(std::move(wrapped));
        }
    }

private:
    View content_;
    Transition t_;
};

} // namespace

// The cover is opaque: the system background fills the screen under its content.
View View::fullScreenCover(Binding<bool> isPresented, std::function<View()> content) const {
    auto layer = [content = std::move(content)] {
        return ZStack({View(Color::systemBackground()).ignoresSafeArea(), content()});
    };
    return View(std::make_shared<PresentationNode>(*this, std::move(isPresented), "fullScreenCover",
                                                   layer, detail::RootLayerLevel::cover));
}

View View::alert(std::string title, Binding<bool> isPresented, std::string message,
                 std::vector<AlertButton> buttons) const {
    auto layer = [=] { return View(detail::AlertBox{title, message, buttons, isPresented}); };
    return View(std::make_shared<PresentationNode>(*this, isPresented, "alert", std::move(layer),
                                                   detail::RootLayerLevel::alert));
}

View View::systemLayer(std::function<View()> content) const {
    return View(std::make_shared<PresentationNode>(*this, Binding<bool>::constant(true),
                                                   "systemLayer", std::move(content),
                                                   detail::RootLayerLevel::system));
}

View View::transition(const Transition& transition) const {
    return View(std::make_shared<TransitionNode>(*this, transition));
}

} // namespace qv::platform::ui
