#include "platform/console/FailureLines.hpp"

#include "platform/console/Console.hpp"

#include <map>
#include <mutex>

namespace qv::platform {

namespace {

struct Reported {
    std::mutex mutex; // guards lines: failures are reported from any queue
    std::map<std::string, std::string, std::less<>> lines; // the last line of each cause
};

Reported& reported() {
    static Reported state;
    return state;
}

} // namespace

void printFailure(const std::string& cause, const std::string& line) {
    {
        Reported& state = reported();
        std::lock_guard lock(state.mutex);
        auto [entry, added] = state.lines.try_emplace(cause, line);
        if (!added) {
            if (entry->second == line) {
                return;
            }
            entry->second = line;
        }
    }
    print(line);
}

void failureRecovered(const std::string& cause) {
    Reported& state = reported();
    std::lock_guard lock(state.mutex);
    state.lines.erase(cause);
}

} // namespace qv::platform
