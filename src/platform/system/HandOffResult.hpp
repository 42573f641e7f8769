#pragma once

#include <string>

namespace qv::platform {

// How a hand-off to a program of the desktop (a browser, the mail program) ended.
struct HandOffResult {
    bool succeeded = false;
    std::string failure; // one line why not; empty on success
};

} // namespace qv::platform
