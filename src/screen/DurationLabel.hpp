#pragma once

#include <string>

namespace qv {

// The text of a run length in the total-time selector and readout: "Single Frame" for 0
// (looked up in the strings table), else the positional time ("0:05", "50:00",
// "1:00:00"), so no two lengths of the table read alike.
std::string durationLabel(double seconds);

} // namespace qv
