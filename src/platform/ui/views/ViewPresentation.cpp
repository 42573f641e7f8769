// Full-screen covers and transitions.

#include "platform/ui/views/Views.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui {
namespace {

// Resolves its content; while presented, adds the cover as a layer above the whole
// scene (the tree places it after layout). The cover is opaque: the system
// background fills the screen under its content.
class CoverNode final : public ViewNode {
public:
    CoverNode(View content, Binding<bool> isPresented, std::function<View()> cover)
        : content_(std::move(content)), isPresented_(std::move(isPresented)),
          cover_(std::move(cover)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        detail::resolveView(content_, ctx, out);
        detail::BuildSession* s = detail::BuildSession::current();
        if (s == nullptr || s->isProbing() || !isPresented_.get()) {
            return;
        }
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->stackAxis.reset();
        env->dismiss = [binding = isPresented_] { binding.set(false); };
        View layer = ZStack({View(Color::systemBackground()).ignoresSafeArea(), cover_()});
        s->rootLayers.push_back({ctx.path + "/fullScreenCover", layer, env});
    }

private:
    View content_;
    Binding<bool> isPresented_;
    std::function<View()> cover_;
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

View View::fullScreenCover(Binding<bool> isPresented, std::function<View()> content) const {
    return View(std::make_shared<CoverNode>(*this, std::move(isPresented), std::move(content)));
}

View View::transition(const Transition& transition) const {
    return View(std::make_shared<TransitionNode>(*this, transition));
}

} // namespace qv::platform::ui
