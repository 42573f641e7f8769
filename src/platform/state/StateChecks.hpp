#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <functional>

namespace qv::platform {

// What happens when published state is written off the main thread. By default one console
// line per property ("Published state written off the main thread"); tests install a handler
// that records or fails. An empty function restores the default.
void setOffMainWriteHandler(std::function<void()> handler);

} // namespace qv::platform
