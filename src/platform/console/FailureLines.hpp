#pragma once

#include <string>

namespace qv::platform {

// Lines about failures that come back at every attempt (a folder that cannot be made, a file
// that cannot be saved): each cause prints its line the first time, and again only when the
// line changes (another reason) or after the cause has recovered in between. So a home that
// cannot be written says once what is wrong instead of at every write.
// `cause` names what failed ("settings save /home/u/settings.json"); `line` is printed as it
// is. Safe from any thread.
void printFailure(const std::string& cause, const std::string& line);

// The cause worked again: its next failure is printed.
void failureRecovered(const std::string& cause);

} // namespace qv::platform
