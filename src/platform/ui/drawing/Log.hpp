#pragma once
// Diagnostics of the view layer (an unknown symbol name, a PNG that could not
// be written). Lines go to standard error unless a sink is installed.

#include <functional>
#include <string>

namespace qv::platform::ui {

using LogSink = std::function<void(const std::string& line)>;

/// Installs `sink` (an empty function restores standard error); returns the previous sink.
LogSink setLogSink(LogSink sink);
void log(const std::string& line);
/// Logs `line` the first time `key` is seen in this process.
void logOnce(const std::string& key, const std::string& line);

} // namespace qv::platform::ui
