#include "platform/permissions/PermissionStatus.hpp"

#include <array>
#include <utility>

namespace qv::platform {

namespace {

constexpr std::array<std::pair<PermissionStatus, std::string_view>, 7> kStatusNames{{
    {PermissionStatus::notDetermined, "notDetermined"},
    {PermissionStatus::restricted, "restricted"},
    {PermissionStatus::denied, "denied"},
    {PermissionStatus::authorized, "authorized"},
    {PermissionStatus::limited, "limited"},
    {PermissionStatus::always, "always"},
    {PermissionStatus::whenInUse, "whenInUse"},
}};

constexpr std::array<std::pair<PermissionService, std::string_view>, 3> kServiceNames{{
    {PermissionService::camera, "camera"},
    {PermissionService::photos, "photos"},
    {PermissionService::location, "location"},
}};

template <typename Value, std::size_t N>
std::optional<Value> lookUp(const std::array<std::pair<Value, std::string_view>, N>& table,
                            std::string_view text) {
    for (const auto& [value, valueName] : table) {
        if (valueName == text) {
            return value;
        }
    }
    return std::nullopt;
}

template <typename Value, std::size_t N>
std::string_view nameIn(const std::array<std::pair<Value, std::string_view>, N>& table,
                        Value value) {
    for (const auto& [entry, entryName] : table) {
        if (entry == value) {
            return entryName;
        }
    }
    return {};
}

} // namespace

int rawValue(PermissionStatus status) {
    switch (status) {
    case PermissionStatus::notDetermined:
        return 0;
    case PermissionStatus::restricted:
        return 1;
    case PermissionStatus::denied:
        return 2;
    case PermissionStatus::authorized:
    case PermissionStatus::always:
        return 3;
    case PermissionStatus::limited:
    case PermissionStatus::whenInUse:
        return 4;
    }
    return 0;
}

bool isGranted(PermissionStatus status) {
    return rawValue(status) >= 3;
}

bool isValid(PermissionService service, PermissionStatus status) {
    if (!isGranted(status)) {
        return true;
    }
    switch (service) {
    case PermissionService::camera:
        return status == PermissionStatus::authorized;
    case PermissionService::photos:
        return status == PermissionStatus::authorized || status == PermissionStatus::limited;
    case PermissionService::location:
        return status == PermissionStatus::always || status == PermissionStatus::whenInUse;
    }
    return false;
}

std::string_view name(PermissionService service) {
    return nameIn(kServiceNames, service);
}

std::string_view name(PermissionStatus status) {
    return nameIn(kStatusNames, status);
}

std::optional<PermissionService> serviceNamed(std::string_view text) {
    return lookUp(kServiceNames, text);
}

std::optional<PermissionStatus> statusNamed(std::string_view text) {
    return lookUp(kStatusNames, text);
}

} // namespace qv::platform
