#include "platform/ui/views/detail/DuplicateKeys.hpp"

#include "platform/ui/drawing/Log.hpp"

#include <map>

namespace qv::platform::ui::detail {

void reportDuplicateKeys(const std::string& container, const std::vector<std::string>& keys) {
    std::map<std::string, int> counts;
    for (const auto& key : keys) {
        ++counts[key];
    }
    std::string repeated;
    for (const auto& [key, count] : counts) {
        if (count > 1) {
            repeated += (repeated.empty() ? "\"" : ", \"") + key + "\" (" + std::to_string(count) +
                        " views)";
        }
    }
    if (repeated.empty()) {
        return;
    }
    logOnce("duplicate keys:" + container,
            "ui: children of " + (container.empty() ? std::string("the root") : container) +
                " share keys " + repeated +
                "; their state, handlers and scroll target are one view's");
}

} // namespace qv::platform::ui::detail
