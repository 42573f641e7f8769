#include "platform/ui/scene/Query.hpp"

namespace qv::platform::ui {

Query Query::text(std::string text) {
    return {By::text, std::move(text)};
}
Query Query::symbol(std::string name) {
    return {By::symbol, std::move(name)};
}
Query Query::tag(std::string tag) {
    return {By::tag, std::move(tag)};
}
Query Query::kind(std::string kind) {
    return {By::kind, std::move(kind)};
}

bool Query::matches(const Element& e) const {
    switch (by_) {
    case By::text:
        return e.kind() == "Text" && e.text() == value_;
    case By::symbol:
        return e.kind() == "Image" && e.symbolName() == value_;
    case By::tag:
        return e.tag() == value_;
    case By::kind:
        return e.kind() == value_;
    }
    return false;
}

std::string Query::describe() const {
    static const char* names[] = {"text", "symbol", "tag", "kind"};
    return std::string(names[static_cast<int>(by_)]) + " \"" + value_ + "\"";
}

namespace {
void collect(const Element& e, const Query& q, std::vector<const Element*>& out) {
    if (q.matches(e)) {
        out.push_back(&e);
    }
    for (const auto& c : e.children()) {
        collect(*c, q, out);
    }
}
} // namespace

std::vector<const Element*> findAll(const Element& within, const Query& query) {
    std::vector<const Element*> out;
    collect(within, query, out);
    return out;
}

} // namespace qv::platform::ui
