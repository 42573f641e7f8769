#pragma once

#include <functional>

namespace qv::testing {

// For tests on real threads: drains the main queue on the calling (main) thread, as the
// window host does, until `done` holds; between drains it sleeps until work arrives.
void drainMainQueueUntil(const std::function<bool()>& done);

} // namespace qv::testing
