#include "platform/formatting/NumberLocale.hpp"

#include <array>
#include <cstdlib>
#include <mutex>

namespace qv::platform {

namespace {

struct LanguageSeparators {
    std::string_view language;
    std::string_view grouping;
    std::string_view decimal;
};

constexpr std::string_view kNoBreakSpace = "\u00a0";
constexpr std::string_view kNarrowNoBreakSpace = "\u202f";

// Separators of the common languages; the region only matters for Swiss German.
constexpr std::array kLanguages{
    LanguageSeparators{"de", ".", ","},
    LanguageSeparators{"es", ".", ","},
    LanguageSeparators{"it", ".", ","},
    LanguageSeparators{"nl", ".", ","},
    LanguageSeparators{"pt", ".", ","},
    LanguageSeparators{"da", ".", ","},
    LanguageSeparators{"id", ".", ","},
    LanguageSeparators{"tr", ".", ","},
    LanguageSeparators{"el", ".", ","},
    LanguageSeparators{"ro", ".", ","},
    LanguageSeparators{"hr", ".", ","},
    LanguageSeparators{"sl", ".", ","},
    LanguageSeparators{"fr", kNarrowNoBreakSpace, ","},
    LanguageSeparators{"ru", kNoBreakSpace, ","},
    LanguageSeparators{"pl", kNoBreakSpace, ","},
    LanguageSeparators{"cs", kNoBreakSpace, ","},
    LanguageSeparators{"sk", kNoBreakSpace, ","},
    LanguageSeparators{"uk", kNoBreakSpace, ","},
    LanguageSeparators{"sv", kNoBreakSpace, ","},
    LanguageSeparators{"nb", kNoBreakSpace, ","},
    LanguageSeparators{"fi", kNoBreakSpace, ","},
    LanguageSeparators{"hu", kNoBreakSpace, ","},
};

std::mutex& currentMutex() {
    static std::mutex mutex;
    return mutex;
}

NumberLocale& currentLocale() {
    static NumberLocale locale = NumberLocale::fromEnvironment();
    return locale;
}

} // namespace

NumberLocale NumberLocale::english() {
    return NumberLocale{",", "."};
}

NumberLocale NumberLocale::named(std::string_view localeName) {
    const std::string_view language = localeName.substr(0, localeName.find_first_of("_.@-"));
    const std::string_view region =
        localeName.size() > language.size() + 1 && localeName[language.size()] == '_'
            ? localeName.substr(language.size() + 1, 2)
            : std::string_view();
    if (language == "de" && region == "CH") {
        return NumberLocale{"\u2019", "."};
    }
    for (const auto& entry : kLanguages) {
        if (entry.language == language) {
            return NumberLocale{std::string(entry.grouping), std::string(entry.decimal)};
        }
    }
    return english();
}

NumberLocale NumberLocale::fromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return named(value);
        }
    }
    return english();
}

NumberLocale NumberLocale::current() {
    std::lock_guard lock(currentMutex());
    return currentLocale();
}

void NumberLocale::setCurrent(NumberLocale locale) {
    std::lock_guard lock(currentMutex());
    currentLocale() = std::move(locale);
}

} // namespace qv::platform
