#include "platform/ui/drawing/Log.hpp"

#include <cstdio>
#include <mutex>
#include <set>

namespace qv::platform::ui {
namespace {

// Views may be built on a worker thread in tests; the sink and the set of
// logged keys are shared, so one mutex guards both.
std::mutex& mutex() {
    static std::mutex m;
    return m;
}
LogSink& sink() {
    static LogSink s;
    return s;
}
std::set<std::string>& seen() {
    static std::set<std::string> s;
    return s;
}

} // namespace

LogSink setLogSink(LogSink s) {
    std::lock_guard lock(mutex());
    LogSink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}

void log(const std::string& line) {
    LogSink s;
    {
        std::lock_guard lock(mutex());
        s = sink();
    }
    if (s) {
        s(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void logOnce(const std::string& key, const std::string& line) {
    {
        std::lock_guard lock(mutex());
        if (!seen().insert(key).second) {
            return;
        }
    }
    log(line);
}

} // namespace qv::platform::ui
