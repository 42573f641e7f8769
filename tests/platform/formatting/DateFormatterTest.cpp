#include "platform/formatting/DateFormatter.hpp"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace qv::platform;
using namespace std::chrono;

namespace {

// 2024-01-31 23:59:59.25 UTC
WallTime lastQuarterSecondOfJanuary() {
    return WallTime(sys_days(year(2024) / January / 31) + hours(23) + minutes(59) + seconds(59) +
                    milliseconds(250));
}

} // namespace

TEST(DateFormatter, UtcPatternsOfFileNamesAndGps) {
    const WallTime t = lastQuarterSecondOfJanuary();
    EXPECT_EQ(DateFormatter("_yyyyMMdd_HHmmss", DateFormatter::Zone::utc).format(t),
              "_20240131_235959");
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSSSSS", DateFormatter::Zone::utc).format(t),
              "23:59:59.250000");
    EXPECT_EQ(DateFormatter("yyyy:MM:dd", DateFormatter::Zone::utc).format(t), "2024:01:31");
    EXPECT_EQ(DateFormatter("h:mm a 'o''clock' ''", DateFormatter::Zone::utc).format(t),
              "11:59 PM o'clock '");
}

TEST(DateFormatter, UtcDateAcrossMidnight) {
    const DateFormatter date("yyyy:MM:dd HH:mm:ss.SSS", DateFormatter::Zone::utc);
    const WallTime t = lastQuarterSecondOfJanuary();
    EXPECT_EQ(date.format(t + milliseconds(749)), "2024:01:31 23:59:59.999");
    EXPECT_EQ(date.format(t + milliseconds(750)), "2024:02:01 00:00:00.000");
    // Fractions truncate, never round up into the next second.
    EXPECT_EQ(date.format(t + microseconds(749999)), "2024:01:31 23:59:59.999");
    // Before 1970 the second is floored, not truncated toward zero.
    EXPECT_EQ(date.format(wallTimeFromSeconds(-0.25)), "1969:12:31 23:59:59.750");
}

TEST(DateFormatter, LocalTimeFollowsTheTimeZone) {
    const char* saved = std::getenv("TZ");
    const std::string keep = saved != nullptr ? saved : "";
    ::setenv("TZ", "UTC-2", 1); // POSIX sign: two hours east of UTC
    ::tzset();
    EXPECT_EQ(DateFormatter("_yyyyMMdd_HHmmss").format(lastQuarterSecondOfJanuary()),
              "_20240201_015959");
    if (saved != nullptr) {
        ::setenv("TZ", keep.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(DateFormatter, UnknownLettersAndOpenQuotesAreRejected) {
    EXPECT_THROW(DateFormatter("yyyy-MM-dd Q"), std::invalid_argument);
    EXPECT_THROW(DateFormatter("'open"), std::invalid_argument);
}

TEST(DateFormatter, SecondsRoundTripThroughWallTime) {
    const WallTime t = wallTimeFromSeconds(1706745599.25);
    EXPECT_EQ(t, lastQuarterSecondOfJanuary());
    EXPECT_DOUBLE_EQ(secondsSince1970(t), 1706745599.25);
    EXPECT_EQ(wallTimeFromSeconds(-0.75), WallTime(-750ms));
}

TEST(DateFormatter, SecondsBeyondTheRangeOfAWallTimeClampInsteadOfOverflowing) {
    EXPECT_EQ(wallTimeFromSeconds(std::nan("")), WallTime{});
    EXPECT_GT(wallTimeFromSeconds(1e30), wallTimeFromSeconds(9.2e9));
    EXPECT_LT(wallTimeFromSeconds(-1e30), wallTimeFromSeconds(-9.2e9));
    EXPECT_EQ(nanosecondsFrom(Seconds(0.3)), 300ms);
    EXPECT_EQ(nanosecondsFrom(Seconds(std::nan(""))), 0ns);
    EXPECT_EQ(nanosecondsFrom(Seconds(1e30)), nanoseconds::max());
    EXPECT_EQ(nanosecondsFrom(Seconds(-INFINITY)), nanoseconds::min());
}
