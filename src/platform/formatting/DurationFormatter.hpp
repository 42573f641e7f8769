#pragma once

#include <string>

namespace qv::platform {

// Elapsed and remaining times in the abbreviated style: hours, minutes and seconds as
// "1h 2m 5s", at most three units, units that are zero dropped wherever they stand
// ("2m 5s", "1h 5s", "1h"), "0s" for less than a second. Fractions of a second are
// truncated; a negative duration starts with "-" ("-1m 5s"). Non-finite durations give "".
std::string formatAbbreviatedDuration(double seconds);

} // namespace qv::platform
