// The permissions' load of any permissions.json. A file they refuse is set aside
// unchanged, nothing else appears but the lock it was set aside under, and every
// service reads notDetermined; a file they accept is left as it was, every status is
// one its service knows, and a second load reads the same.

#include "platform/console/Console.hpp"
#include "platform/permissions/Permissions.hpp"
#include "support/FuzzCheck.hpp"
#include "support/ScratchFolder.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace qv::platform;
using qv::fuzz::ScratchFolder;

namespace {

const ScratchFolder& scratch() {
    static const ScratchFolder folder("permissions_load");
    return folder;
}

constexpr PermissionService kServices[] = {PermissionService::camera, PermissionService::photos,
                                           PermissionService::location};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ::unsetenv("QV_PERMISSIONS"); // the file alone decides
    const ScratchFolder& folder = scratch();
    folder.clear();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto file = folder.write("permissions.json", input);
    const ConsoleCapture quiet;

    const Permissions first(file, {});
    auto afterLoad = folder.contents();
    const bool refused = afterLoad.count("permissions.json") == 0;
    QV_FUZZ_CHECK(!refused || afterLoad.erase("permissions.json.lock") == 1);
    QV_FUZZ_CHECK(afterLoad.size() == 1);
    const auto& [name, bytes] = *afterLoad.begin();
    QV_FUZZ_CHECK(bytes == input);
    QV_FUZZ_CHECK(!refused || name.starts_with("permissions.json.corrupt_"));

    const Permissions second(file, {});
    for (const PermissionService service : kServices) {
        const PermissionStatus status = first.status(service);
        QV_FUZZ_CHECK(isValid(service, status));
        QV_FUZZ_CHECK(!refused || status == PermissionStatus::notDetermined);
        QV_FUZZ_CHECK(second.status(service) == status);
    }
    return 0;
}
