#pragma once

#include <optional>

namespace qv::detail {

// The case among `cases` whose rawValue() equals `raw`; nullopt when none does.
template <class Cases, class Raw>
auto caseWithRawValue(const Cases& cases, const Raw& raw)
    -> std::optional<typename Cases::value_type> {
    for (const auto candidate : cases) {
        if (rawValue(candidate) == raw) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace qv::detail
