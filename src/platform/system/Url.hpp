#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// An address handed to the desktop: a scheme, ":", and the rest ("https://host/path",
// "instagram://user?username=x", "app-settings:", "mailto:a@b").
class Url {
public:
    // The address `text` stands for, or nothing when it is not one: the scheme is a letter
    // followed by letters, digits, "+", "-" and "."; the rest holds only the characters an
    // address may carry (letters, digits, "-._~:/?#[]@!$&'()*+,;=", and "%" followed by two
    // hexadecimal digits). Spaces, quotes, control and non-ASCII characters give nothing.
    static std::optional<Url> parse(std::string_view text);

    const std::string& string() const { return text_; }
    // The scheme in lower case ("https").
    std::string scheme() const;

    friend bool operator==(const Url&, const Url&) = default;

private:
    explicit Url(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// Percent-encodes every byte of `text` but letters, digits, "-._~" and those in `keep`.
std::string percentEncoded(std::string_view text, std::string_view keep = {});

} // namespace qv::platform
