// Lifecycle modifiers: appear and disappear, change handlers, timers and
// environment objects. Each resolves its content where it stands and registers
// with the build; the ViewGraph compares registrations from build to build.

#include "platform/ui/views/View.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"

namespace qv::platform::ui {
namespace {

class RegisterNode final : public ViewNode {
public:
    using Register = std::function<void(detail::BuildSession&, const ResolveContext&)>;
    RegisterNode(View content, Register reg) : content_(std::move(content)), reg_(std::move(reg)) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        detail::BuildSession* s = detail::BuildSession::current();
        if (s != nullptr && !s->isProbing()) {
            reg_(*s, ctx);
        }
        detail::resolveView(content_, ctx, out);
    }

private:
    View content_;
    Register reg_;
};

View registering(const View& content, RegisterNode::Register reg) {
    return View(std::make_shared<RegisterNode>(content, std::move(reg)));
}

} // namespace

View View::onAppear(std::function<void()> action) const {
    return registering(*this, [action](detail::BuildSession& s, const ResolveContext& ctx) {
        s.addLifecycle(s.key(ctx.path, "appear"), {action, nullptr});
    });
}

View View::onDisappear(std::function<void()> action) const {
    return registering(*this, [action](detail::BuildSession& s, const ResolveContext& ctx) {
        s.addLifecycle(s.key(ctx.path, "disappear"), {nullptr, action});
    });
}

View View::onTimer(double intervalSeconds, std::function<void()> tick) const {
    return registering(*this, [=](detail::BuildSession& s, const ResolveContext& ctx) {
        if (intervalSeconds > 0) {
            s.addTimer(s.key(ctx.path, "timer"), {intervalSeconds, tick});
        }
    });
}

namespace detail {

View onReceiveErased(
    const View& content,
    std::function<Subscription(std::function<void(std::shared_ptr<const void>)>)> subscribe,
    std::function<void(const void*)> action) {
    return registering(content, [=](BuildSession& s, const ResolveContext& ctx) {
        s.addNotice(s.key(ctx.path, "notice"), {subscribe, action});
    });
}

View onChangeErased(const View& content, std::shared_ptr<const void> value,
                    std::function<bool(const void*, const void*)> equal,
                    std::function<void(const void*)> action) {
    return registering(content, [=](BuildSession& s, const ResolveContext& ctx) {
        s.addChange(s.key(ctx.path, "change"), {value, equal, action});
    });
}

namespace {
class EnvironmentObjectNode final : public ViewNode {
public:
    EnvironmentObjectNode(View content, Environment::Object object)
        : content_(std::move(content)), object_(object) {}
    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        auto env = std::make_shared<Environment>(*ctx.environment);
        env->objects.push_back(object_);
        resolveView(content_, ctx.at(ctx.path, env), out);
    }

private:
    View content_;
    Environment::Object object_;
};
} // namespace

View environmentObjectErased(const View& content, std::type_index type, void* object,
                             ObservableObject* observable) {
    return View(std::make_shared<EnvironmentObjectNode>(
        content, Environment::Object{type, object, observable}));
}

} // namespace detail
} // namespace qv::platform::ui
