#include "platform/system/Url.hpp"

#include <cctype>

namespace qv::platform {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isUnreserved(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool isAddressCharacter(char c) {
    return isUnreserved(c) ||
           std::string_view(":/?#[]@!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool isSchemeCharacter(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
}

} // namespace

std::optional<Url> Url::parse(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos || !isAsciiLetter(text[0])) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        if (!isSchemeCharacter(text[i])) {
            return std::nullopt;
        }
    }
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
                return std::nullopt;
            }
            i += 2;
        } else if (!isAddressCharacter(text[i])) {
            return std::nullopt;
        }
    }
    return Url(std::string(text));
}

std::string Url::scheme() const {
    std::string scheme = text_.substr(0, text_.find(':'));
    for (char& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return scheme;
}

std::string percentEncoded(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        if (isUnreserved(c) || keep.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

} // namespace qv::platform
