#include "platform/formatting/DateFormatter.hpp"

#include <ctime>
#include <stdexcept>

namespace qv::platform {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string padded(long value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return digits;
}

} // namespace

DateFormatter::DateFormatter(std::string_view pattern, Zone zone) : zone_(zone) {
    std::size_t i = 0;
    auto addLiteral = [this](std::string text) {
        if (!fields_.empty() && fields_.back().letter == 0) {
            fields_.back().literal += text;
        } else {
            fields_.push_back(Field{0, 0, std::move(text)});
        }
    };
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral("'");
                i += 2;
                continue;
            }
            // Quoted text up to the closing quote; a doubled quote inside stands for one.
            std::string text;
            std::size_t j = i + 1;
            for (;; ++j) {
                if (j >= pattern.size()) {
                    throw std::invalid_argument("date pattern has an unclosed quote: " +
                                                std::string(pattern));
                }
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        text += '\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                text += pattern[j];
            }
            addLiteral(std::move(text));
            i = j + 1;
        } else if (isAsciiLetter(c)) {
            if (std::string_view("yMdHhmsSa").find(c) == std::string_view::npos) {
                throw std::invalid_argument(std::string("unsupported date pattern letter '") + c +
                                            "' in " + std::string(pattern));
            }
            std::size_t end = i;
            while (end < pattern.size() && pattern[end] == c) {
                ++end;
            }
            fields_.push_back(Field{c, static_cast<int>(end - i), {}});
            i = end;
        } else {
            addLiteral(std::string(1, c));
            ++i;
        }
    }
}

std::string DateFormatter::format(WallTime time) const {
    using namespace std::chrono;
    const auto wholeSeconds = floor<seconds>(time);
    const auto nanos = duration_cast<nanoseconds>(time - wholeSeconds).count();
    const std::time_t t = static_cast<std::time_t>(wholeSeconds.time_since_epoch().count());
    std::tm parts{};
    if (zone_ == Zone::utc) {
        gmtime_r(&t, &parts);
    } else {
        localtime_r(&t, &parts);
    }
    std::string text;
    for (const Field& f : fields_) {
        switch (f.letter) {
        case 0:
            text += f.literal;
            break;
        case 'y': {
            const long year = parts.tm_year + 1900L;
            text += f.width == 2 ? padded(year % 100, 2) : padded(year, f.width);
            break;
        }
        case 'M':
            text += padded(parts.tm_mon + 1, f.width);
            break;
        case 'd':
            text += padded(parts.tm_mday, f.width);
            break;
        case 'H':
            text += padded(parts.tm_hour, f.width);
            break;
        case 'h':
            text += padded(parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12, f.width);
            break;
        case 'm':
            text += padded(parts.tm_min, f.width);
            break;
        case 's':
            text += padded(parts.tm_sec, f.width);
            break;
        case 'S': {
            // Nine digits of nanoseconds, cut to the field's width (extra letters give zeros).
            std::string fraction = padded(nanos, 9);
            fraction.resize(static_cast<std::size_t>(f.width), '0');
            text += fraction;
            break;
        }
        case 'a':
            text += parts.tm_hour < 12 ? "AM" : "PM";
            break;
        }
    }
    return text;
}

} // namespace qv::platform
