// The permission script (--permissions, QV_PERMISSIONS): presets each service
// knows, or one line that says why the text is none.

#include "platform/permissions/PermissionScript.hpp"
#include "support/FuzzCheck.hpp"

#include <cstdint>
#include <string>

using namespace qv::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto script = PermissionScript::parse(text, error);
    if (!script) {
        QV_FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    for (const auto& [service, status] : script->presets) {
        QV_FUZZ_CHECK(isValid(service, status));
    }
    return 0;
}
