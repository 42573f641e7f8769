#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// The few facts about a locale that number formatting needs. Independent of the C and C++
// global locales, so formatting gives the same text whatever setlocale() was called with.
struct NumberLocale {
    std::string groupingSeparator = ",";
    std::string decimalSeparator = ".";

    // "," for groups of three digits, "." before the fraction.
    static NumberLocale english();
    // The locale named like a POSIX locale name ("de_DE.UTF-8", "fr_FR", "C"). Languages
    // that are not in the built-in table, "C" and "POSIX" give English.
    static NumberLocale named(std::string_view localeName);
    // The user's locale from LC_ALL, else LC_NUMERIC, else LANG (the first one set and
    // non-empty); English when none is set.
    static NumberLocale fromEnvironment();

    // The process-wide locale used when a formatter is given none. Starts as
    // fromEnvironment(); tests pin it with setCurrent(NumberLocale::english()).
    // Both are safe to call from any thread.
    static NumberLocale current();
    static void setCurrent(NumberLocale locale);

    bool operator==(const NumberLocale&) const = default;
};

} // namespace qv::platform
