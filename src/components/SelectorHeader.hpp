#pragma once
// The header row of the full-screen selectors: the title and, at the trailing end, the
// close symbol "x.circle".

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct SelectorHeader {
    std::string title; // not shown when empty
    std::function<void()> close;
    platform::ui::View body() const;

    /// Shown unless the title is empty and a choice closes the selector anyway.
    static bool isShown(const std::string& title, bool autoDismiss) {
        return !title.empty() || !autoDismiss;
    }
};

} // namespace qv
