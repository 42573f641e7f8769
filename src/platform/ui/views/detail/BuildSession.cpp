#include "platform/ui/views/detail/BuildSession.hpp"

namespace qv::platform::ui::detail {

namespace {
thread_local BuildSession* currentSession = nullptr;
}

BuildSession* BuildSession::current() {
    return currentSession;
}

std::string BuildSession::key(const std::string& path, const char* what) {
    std::string k = path + "|" + what;
    const int n = ordinals_[k]++;
    return k + "#" + std::to_string(n);
}

void BuildSession::addLifecycle(const std::string& k, LifecycleHandlers handlers) {
    lifecycle.emplace_back(k, std::move(handlers));
}

void BuildSession::addChange(const std::string& k, ChangeRecord record) {
    changes[k] = std::move(record);
}

void BuildSession::addTimer(const std::string& k, TimerRecord record) {
    timers[k] = std::move(record);
}

void BuildSession::addNotice(const std::string& k, NoticeRecord record) {
    notices[k] = std::move(record);
}

SessionScope::SessionScope(BuildSession& session) : previous_(currentSession) {
    currentSession = &session;
}

SessionScope::~SessionScope() {
    currentSession = previous_;
}

void mountView(const std::shared_ptr<const OwnerView>& owner) {
    BuildSession* s = BuildSession::current();
    if (s == nullptr || s->isProbing()) {
        // A probe's views keep no state of their own beyond the build.
        if (s != nullptr) {
            s->views.push_back(owner);
        }
        return;
    }
    s->views.push_back(owner);
    s->keepAlive(owner->path);
}

void retainBody(const View& body) {
    if (BuildSession* s = BuildSession::current()) {
        s->retained->push_back(body);
    }
}

double animated(const std::string& key, double target, std::optional<double> insertedFrom) {
    BuildSession* s = BuildSession::current();
    if (s == nullptr || s->host() == nullptr || s->isProbing()) {
        return target;
    }
    return s->host()->animated(key, target, insertedFrom);
}

} // namespace qv::platform::ui::detail
