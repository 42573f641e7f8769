#include "platform/formatting/QuotedText.hpp"

#include <cstdio>

namespace qv::platform {

std::string quotedText(std::string_view text, std::size_t limit) {
    std::string quoted = "'";
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            quoted += escape;
        } else {
            quoted += char(c);
        }
    }
    if (text.size() > limit) {
        quoted += "...";
    }
    return quoted + "'";
}

std::string quotedPath(const std::filesystem::path& path) {
    return quotedText(path.native(), path.native().size());
}

} // namespace qv::platform
