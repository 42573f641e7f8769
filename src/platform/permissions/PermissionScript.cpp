#include "platform/permissions/PermissionScript.hpp"

#include "platform/formatting/QuotedText.hpp"

namespace qv::platform {

namespace {

// The parts one after the other (what a chain of "+" would give; GCC 12 warns wrongly on
// some such chains).
template <typename... Parts>
std::string joined(const Parts&... parts) {
    std::string text;
    ((text += parts), ...);
    return text;
}

std::string statusesKnownBy(PermissionService service) {
    std::string known;
    for (const auto status :
         {PermissionStatus::notDetermined, PermissionStatus::restricted, PermissionStatus::denied,
          PermissionStatus::authorized, PermissionStatus::limited, PermissionStatus::always,
          PermissionStatus::whenInUse}) {
        if (isValid(service, status)) {
            if (!known.empty()) {
                known += ", ";
            }
            known += name(status);
        }
    }
    return known;
}

} // namespace

std::optional<PermissionScript> PermissionScript::parse(std::string_view text, std::string& error) {
    PermissionScript script;
    // Entries between commas; an empty one (a stray comma) is an error like any other.
    for (bool more = !text.empty(); more;) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        more = comma != std::string_view::npos;
        text = more ? text.substr(comma + 1) : std::string_view();
        const std::size_t equals = entry.find('=');
        const std::string quoted = quotedText(entry);
        if (equals == std::string_view::npos) {
            error = joined(quoted, " is not of the form service=status");
            return std::nullopt;
        }
        const std::string_view key = entry.substr(0, equals);
        const std::string_view value = entry.substr(equals + 1);
        if (key == "ask") {
            if (script.allow || (value != "allow" && value != "deny")) {
                error = joined(quoted, ": ask is given once, as allow or deny");
                return std::nullopt;
            }
            script.allow = value == "allow";
            continue;
        }
        const std::optional<PermissionService> service = serviceNamed(key);
        if (!service) {
            error = joined(quoted, ": the services are camera, photos and location");
            return std::nullopt;
        }
        if (script.presets.contains(*service)) {
            error = joined(quoted, ": ", key, " is given twice");
            return std::nullopt;
        }
        const std::optional<PermissionStatus> status = statusNamed(value);
        if (!status || !isValid(*service, *status)) {
            error = joined(quoted, ": ", key, " knows ", statusesKnownBy(*service));
            return std::nullopt;
        }
        script.presets[*service] = *status;
    }
    return script;
}

} // namespace qv::platform
