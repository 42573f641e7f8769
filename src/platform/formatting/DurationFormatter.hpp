#pragma once

#include <string>

namespace qv::platform {

// Elapsed and remaining times in the abbreviated style: hours, minutes and seconds as
// "1h 2m 5s", at most three units, units that are zero dropped wherever they stand
// ("2m 5s", "1h 5s", "1h"), "0s" for less than a second. Fractions of a second are
// truncated; a negative duration starts with "-" ("-1m 5s"). Non-finite durations give "".
std::string formatAbbreviatedDuration(double seconds);

// Durations in the positional style of the duration pickers: "m:ss" under an hour
// ("0:05", "1:00", "50:00"), "h:mm:ss" from an hour on ("1:00:00", "24:00:00"), so no
// two whole-second durations read alike. Fractions of a second are truncated; a
// negative duration starts with "-" ("-1:05"). Non-finite durations give "".
std::string formatPositionalDuration(double seconds);

} // namespace qv::platform
