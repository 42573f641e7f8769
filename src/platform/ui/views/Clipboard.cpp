#include "platform/ui/views/Clipboard.hpp"

#include <utility>

namespace qv::platform::ui {
namespace {

std::string& held() {
    static std::string text;
    return text;
}

Clipboard::Hook& hook() {
    static Clipboard::Hook h;
    return h;
}

} // namespace

void Clipboard::setText(const std::string& text) {
    held() = text;
    if (hook()) {
        hook()(text);
    }
}

const std::string& Clipboard::text() {
    return held();
}

Clipboard::Hook Clipboard::setHook(Hook h) {
    return std::exchange(hook(), std::move(h));
}

} // namespace qv::platform::ui
