#pragma once

#include "platform/formatting/WallTime.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

// Formats dates with a pattern in local time (the TZ environment, as the C library reads
// it) or in UTC. Pattern letters (runs of one letter form one field):
//   yyyy year (yy: last two digits)   MM month 01-12 (M: no padding)
//   dd   day of month (d)             HH hour 00-23 (H)     hh hour 01-12 (h)
//   mm   minute (m)                   ss second (s)
//   S... fraction of the second, as many digits as letters, truncated (SSSSSS: microseconds)
//   a    "AM" or "PM"
// Text in single quotes is literal ('' is a quote); every other character that is not an
// ASCII letter is copied as it is. Other ASCII letters are rejected when the formatter is
// made (std::invalid_argument), so a typo in a pattern fails loudly.
// "_yyyyMMdd_HHmmss" -> "_20240131_235959"; "HH:mm:ss.SSSSSS" -> "23:59:59.250000".
class DateFormatter {
public:
    enum class Zone { local, utc };

    explicit DateFormatter(std::string_view pattern, Zone zone = Zone::local);

    std::string format(WallTime time) const;

private:
    struct Field {
        char letter; // 0 for literal text
        int width;
        std::string literal;
    };
    std::vector<Field> fields_;
    Zone zone_;
};

} // namespace qv::platform
