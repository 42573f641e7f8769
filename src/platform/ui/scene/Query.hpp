#pragma once
// What tests look views up by in a built tree: the text shown, a symbol or image
// name, a test tag, or the element's kind.

#include "platform/ui/views/Element.hpp"

#include <string>
#include <vector>

namespace qv::platform::ui {

/// Which elements a query matches.
class Query {
public:
    static Query text(std::string text);
    /// A symbol or asset image by name.
    static Query symbol(std::string name);
    static Query tag(std::string tag);
    static Query kind(std::string kind);
    bool matches(const Element& element) const;
    std::string describe() const;

private:
    enum class By { text, symbol, tag, kind };
    Query(By by, std::string value) : by_(by), value_(std::move(value)) {}
    By by_;
    std::string value_;
};

/// The elements of the subtree of `within` (itself included) that `query` matches, in
/// drawing order of the tree (parents before children).
std::vector<const Element*> findAll(const Element& within, const Query& query);

} // namespace qv::platform::ui
