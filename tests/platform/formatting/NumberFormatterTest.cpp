#include "platform/formatting/NumberFormatter.hpp"

#include "platform/formatting/DurationFormatter.hpp"

#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>

using namespace qv::platform;

TEST(NumberFormatter, IntegersAreGroupedByTheLocale) {
    const NumberLocale english = NumberLocale::english();
    EXPECT_EQ(formatInteger(10000, english), "10,000");
    EXPECT_EQ(formatInteger(999, english), "999");
    EXPECT_EQ(formatInteger(1000, english), "1,000");
    EXPECT_EQ(formatInteger(-1234567, english), "-1,234,567");
    EXPECT_EQ(formatInteger(0, english), "0");
    EXPECT_EQ(formatInteger(std::numeric_limits<std::int64_t>::min(), english),
              "-9,223,372,036,854,775,808");
    EXPECT_EQ(formatInteger(10000, NumberLocale::named("de_DE.UTF-8")), "10.000");
}

TEST(NumberFormatter, LocalesComeFromTheirNames) {
    EXPECT_EQ(NumberLocale::named("de_DE.UTF-8"), (NumberLocale{".", ","}));
    EXPECT_EQ(NumberLocale::named("en_US.UTF-8"), NumberLocale::english());
    EXPECT_EQ(NumberLocale::named("C"), NumberLocale::english());
    EXPECT_EQ(NumberLocale::named("POSIX"), NumberLocale::english());
    EXPECT_EQ(NumberLocale::named("de_CH"), (NumberLocale{"\u2019", "."}));
    EXPECT_EQ(NumberLocale::named("fr_FR").decimalSeparator, ",");
}

TEST(NumberFormatter, EnvironmentPicksTheFirstSetVariable) {
    const char* saved[3] = {};
    const char* names[3] = {"LC_ALL", "LC_NUMERIC", "LANG"};
    std::string keep[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* v = std::getenv(names[i])) {
            keep[i] = v;
            saved[i] = keep[i].c_str();
        }
    }
    ::unsetenv("LC_ALL");
    ::setenv("LC_NUMERIC", "", 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(NumberLocale::fromEnvironment().decimalSeparator, ",");
    ::setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(NumberLocale::fromEnvironment().decimalSeparator, ".");
    for (int i = 0; i < 3; ++i) {
        if (saved[i] != nullptr) {
            ::setenv(names[i], saved[i], 1);
        } else {
            ::unsetenv(names[i]);
        }
    }
}

TEST(NumberFormatter, DecimalsRoundTheShortestTextTiesToEven) {
    DecimalFormatter f{0, 2, true, NumberLocale::english()};
    EXPECT_EQ(f.format(0.4), "0.4");
    EXPECT_EQ(f.format(30.0), "30");
    EXPECT_EQ(f.format(2.675), "2.68"); // the binary value is below 2.675; the text is not
    EXPECT_EQ(f.format(0.125), "0.12");
    EXPECT_EQ(f.format(0.135), "0.14");
    EXPECT_EQ(f.format(9.995), "10");
    EXPECT_EQ(f.format(999999.999), "1,000,000");
    EXPECT_EQ(f.format(-0.001), "0");
    EXPECT_EQ(f.format(0.004), "0");
    EXPECT_EQ(f.format(0.005), "0"); // tie, 0 is even
    EXPECT_EQ(f.format(0.0051), "0.01");
    EXPECT_EQ(f.format(1234.5), "1,234.5");
    EXPECT_EQ(f.format(1e-300), "0");
}

TEST(NumberFormatter, DecimalsPadToTheMinimumAndUseTheLocale) {
    DecimalFormatter f{1, 3, true, NumberLocale::named("de_DE")};
    EXPECT_EQ(f.format(2.0), "2,0");
    EXPECT_EQ(f.format(12345.6789), "12.345,679");
    f.usesGrouping = false;
    EXPECT_EQ(f.format(12345.6789), "12345,679");
    DecimalFormatter whole{0, 0, true, NumberLocale::english()};
    EXPECT_EQ(whole.format(2.5), "2");
    EXPECT_EQ(whole.format(3.5), "4");
    EXPECT_EQ(whole.format(1e20), "100,000,000,000,000,000,000");
}

TEST(DurationFormatter, AbbreviatedUnitsDropZeros) {
    EXPECT_EQ(formatAbbreviatedDuration(125), "2m 5s");
    EXPECT_EQ(formatAbbreviatedDuration(3605), "1h 5s");
    EXPECT_EQ(formatAbbreviatedDuration(3600), "1h");
    EXPECT_EQ(formatAbbreviatedDuration(3725), "1h 2m 5s");
    EXPECT_EQ(formatAbbreviatedDuration(0), "0s");
    EXPECT_EQ(formatAbbreviatedDuration(0.9), "0s");
    EXPECT_EQ(formatAbbreviatedDuration(59.99), "59s");
    EXPECT_EQ(formatAbbreviatedDuration(90000), "25h");
    EXPECT_EQ(formatAbbreviatedDuration(-65), "-1m 5s");
    EXPECT_EQ(formatAbbreviatedDuration(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(DurationFormatter, PositionalTextsShowHoursOnlyFromAnHour) {
    EXPECT_EQ(formatPositionalDuration(5), "0:05");
    EXPECT_EQ(formatPositionalDuration(60), "1:00");
    EXPECT_EQ(formatPositionalDuration(90), "1:30");
    EXPECT_EQ(formatPositionalDuration(3000), "50:00");
    EXPECT_EQ(formatPositionalDuration(3599.9), "59:59");
    // An hour and a minute, 1.5 h and 90 s, 20 h and 20 min no longer read alike.
    EXPECT_EQ(formatPositionalDuration(3600), "1:00:00");
    EXPECT_EQ(formatPositionalDuration(5400), "1:30:00");
    EXPECT_EQ(formatPositionalDuration(72000), "20:00:00");
    EXPECT_EQ(formatPositionalDuration(86400), "24:00:00");
    EXPECT_EQ(formatPositionalDuration(0), "0:00");
    EXPECT_EQ(formatPositionalDuration(-65), "-1:05");
    EXPECT_EQ(formatPositionalDuration(-0.5), "0:00");
    EXPECT_EQ(formatPositionalDuration(std::numeric_limits<double>::infinity()), "");
    // Saturates at the largest count of seconds.
    EXPECT_EQ(formatPositionalDuration(1e300), "2562047788015215:30:07");
}
