#pragma once

#include <string>
#include <string_view>

namespace qv::platform::detail {

// A new random (version 4) UUID in upper case: "3F2504E0-4F89-41D3-9A0C-0305E82C3301".
std::string newUuid();
// Whether `text` is a UUID in that form.
bool isUuid(std::string_view text);

} // namespace qv::platform::detail
