// The settings store's load of any settings.json. A file the store refuses is
// set aside unchanged and nothing else appears but the lock it was set aside
// under; a file it accepts is left as it was, and after a write (which leaves
// the lock file beside it) and a second load every key reads the same.

#include "platform/console/Console.hpp"
#include "platform/store/UserDefaults.hpp"
#include "support/FuzzCheck.hpp"
#include "support/ScratchFolder.hpp"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

using namespace qv::platform;
using qv::fuzz::ScratchFolder;

namespace {

const ScratchFolder& scratch() {
    static const ScratchFolder folder("settings_load");
    return folder;
}

void checkSameValues(const UserDefaults& a, const UserDefaults& b, const std::string& key) {
    QV_FUZZ_CHECK(a.has(key) == b.has(key));
    QV_FUZZ_CHECK(a.boolValue(key) == b.boolValue(key));
    QV_FUZZ_CHECK(a.integerValue(key) == b.integerValue(key));
    QV_FUZZ_CHECK(a.doubleValue(key) == b.doubleValue(key));
    QV_FUZZ_CHECK(a.stringValue(key) == b.stringValue(key));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ScratchFolder& folder = scratch();
    folder.clear();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto file = folder.write("settings.json", input);
    const ConsoleCapture quiet;

    UserDefaults first(file);
    auto afterLoad = folder.contents();
    if (afterLoad.count("settings.json") == 0) {
        QV_FUZZ_CHECK(afterLoad.size() == 2 && afterLoad.erase("settings.json.lock") == 1);
        const auto& [name, bytes] = *afterLoad.begin();
        QV_FUZZ_CHECK(bytes == input);
        QV_FUZZ_CHECK(name.starts_with("settings.json.corrupt_"));
        QV_FUZZ_CHECK(!first.has("delay"));
        return 0;
    }
    QV_FUZZ_CHECK(afterLoad.size() == 1 && afterLoad.at("settings.json") == input);

    first.set("qvFuzzProbe", true);
    first.flush();
    const auto afterWrite = folder.contents(); // the settings and the lock writers share
    QV_FUZZ_CHECK(afterWrite.size() == 2 && afterWrite.count("settings.json.lock") == 1);
    const UserDefaults second(file);
    QV_FUZZ_CHECK(folder.contents().count("settings.json") == 1);
    QV_FUZZ_CHECK(second.boolValue("qvFuzzProbe") == true);
    // The accepted file is a JSON object: its keys are the ones to compare.
    const auto accepted = nlohmann::json::parse(input);
    for (const auto& entry : accepted.items()) {
        checkSameValues(first, second, entry.key());
    }
    return 0;
}
