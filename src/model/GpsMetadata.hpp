#pragma once

#include "platform/formatting/WallTime.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/sensors/Location.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The "{GPS}" group of a photo's metadata for a location fix: latitude and
// longitude as magnitudes with "N"/"S" and "E"/"W", the altitude in whole metres
// with reference 1 below sea level, the fix's UTC time and date, the version
// "2.2.0.0", and with a heading its true direction ("T"). nullopt for a fix whose
// coordinate is out of range or whose altitude is not finite, so no photo carries
// a position that readers would reject.
std::optional<platform::MetadataDictionary>
gpsDictionary(const platform::Location& location,
              const std::optional<platform::Heading>& heading = std::nullopt);

// The time as text in UTC with a date pattern ("yyyy:MM:dd", "HH:mm:ss.SSSSSS").
std::string utcString(platform::WallTime time, std::string_view pattern);

} // namespace qv
