#pragma once

#include "platform/formatting/FloatText.hpp"

#include <concepts>
#include <iterator>
#include <ranges>
#include <string>
#include <string_view>
#include <type_traits>

namespace qv::platform {

// The text a value prints as in console output and when it is put into a message:
//   bool                -> "true" / "false"
//   integers            -> decimal digits ("-42")
//   float, double       -> floatText: shortest round-trip digits, ".0" kept ("2.0", "0.84")
//   strings, char       -> the text itself
//   ranges (vector, array, span...) -> "[528, 532, 532]"; strings inside are quoted and
//                          escaped: ["a", "b \"c\""]
//   a type with a member `std::string description() const`, or with a free function
//   `std::string description(const T&)` found by argument-dependent lookup -> that text
// describe() gives the plain form; debugDescribe() the form used inside a list.

template <typename T>
concept HasMemberDescription = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string>;
};

template <typename T>
concept HasFreeDescription = requires(const T& value) {
    { description(value) } -> std::convertible_to<std::string>;
};

template <typename T>
concept StringLike = std::convertible_to<const T&, std::string_view>;

// A string quoted with ", \ and control characters escaped.
std::string quoted(std::string_view text);

template <typename T>
std::string describe(const T& value);

template <typename T>
std::string debugDescribe(const T& value) {
    if constexpr (StringLike<T>) {
        return quoted(std::string_view(value));
    } else if constexpr (std::same_as<T, char>) {
        return quoted(std::string_view(&value, 1));
    } else {
        return describe(value);
    }
}

template <typename T>
std::string describe(const T& value) {
    if constexpr (std::same_as<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::same_as<T, char>) {
        return std::string(1, value);
    } else if constexpr (std::integral<T>) {
        return std::to_string(value);
    } else if constexpr (std::floating_point<T>) {
        return floatText(value);
    } else if constexpr (StringLike<T>) {
        return std::string(std::string_view(value));
    } else if constexpr (HasMemberDescription<T>) {
        return value.description();
    } else if constexpr (HasFreeDescription<T>) {
        return description(value);
    } else if constexpr (std::ranges::input_range<const T>) {
        std::string text = "[";
        bool first = true;
        for (const auto& element : value) {
            if (!first) {
                text += ", ";
            }
            first = false;
            text += debugDescribe(element);
        }
        return text + "]";
    } else {
        static_assert(sizeof(T) == 0, "describe: give this type a description()");
    }
}

} // namespace qv::platform
