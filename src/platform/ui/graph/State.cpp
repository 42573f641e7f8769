#include "platform/ui/graph/State.hpp"

#include "platform/ui/graph/detail/GraphCore.hpp"

namespace qv::platform::ui {

namespace detail {
namespace {

bool contains(const OwnerView& v, const void* p) {
    const auto* base = static_cast<const char*>(v.base);
    const auto* at = static_cast<const char*>(p);
    return at >= base && at < base + v.size;
}

std::string offsetKey(const OwnerView& v, const void* p) {
    return std::to_string(static_cast<const char*>(p) - static_cast<const char*>(v.base));
}

} // namespace

void StateBoxBase::changed() const {
    if (auto core = graph.lock()) {
        core->stateChanged();
    }
}

std::shared_ptr<StateBoxBase>
bindState(const void* self, const std::type_info& type,
          const std::function<std::shared_ptr<StateBoxBase>()>& make) {
    BuildSession* session = BuildSession::current();
    if (session != nullptr) {
        GraphCore* core = GraphCore::of(session);
        if (core == nullptr) {
            return nullptr;
        }
        const ResolveContext* ctx = ResolveContext::current();
        if (ctx != nullptr && ctx->owner && contains(*ctx->owner, self)) {
            return core->slot(ctx->owner->path, offsetKey(*ctx->owner, self), type, make);
        }
        for (const auto& v : session->views) {
            if (contains(*v, self)) {
                return core->slot(v->path, offsetKey(*v, self), type, make);
            }
        }
        return nullptr;
    }
    // After the build (a handler): the views mounted by a live graph.
    for (GraphCore* core : GraphCore::live()) {
        for (const auto& v : core->mounted) {
            if (contains(*v, self)) {
                return core->slot(v->path, offsetKey(*v, self), type, make);
            }
        }
    }
    return nullptr;
}

void observe(ObservableObject& object) {
    BuildSession* s = BuildSession::current();
    if (GraphCore::of(s) != nullptr) {
        s->observed.push_back(&object);
    }
}

const Environment::Object& environmentObject(const std::type_info& type) {
    const ResolveContext* ctx = ResolveContext::current();
    const Environment::Object* found =
        ctx != nullptr ? ctx->environment->findObject(std::type_index(type)) : nullptr;
    if (found == nullptr) {
        throw std::logic_error(
            "no environment object of type " + typeName(type) +
            (ctx != nullptr ? " where " + ctx->path + " is built" : " outside a view's body"));
    }
    return *found;
}

} // namespace detail

const Environment& currentEnvironment() {
    static const Environment fallback;
    const ResolveContext* ctx = ResolveContext::current();
    return ctx != nullptr ? *ctx->environment : fallback;
}

} // namespace qv::platform::ui
