#pragma once
// A value a selector grid lists, by the text of its cell.

#include <concepts>
#include <string>
#include <vector>

namespace qv {

template <class T>
concept HasDisplayString = requires(const T& value) {
    { value.displayString() } -> std::convertible_to<std::string>;
};

/// Strings show as they are; whole numbers with the current locale's grouping
/// ("12,800"); other numbers through the locale's decimal format with up to six
/// fraction digits; a type of the app's own shows its `displayString()`.
class GridSelectableItem {
public:
    GridSelectableItem(std::string text) : text_(std::move(text)) {} // NOLINT: items convert
    GridSelectableItem(const char* text) : text_(text) {}            // NOLINT
    template <std::integral I>
    requires(!std::same_as<I, bool>) GridSelectableItem(I value) // NOLINT
        : text_(integerText(static_cast<long long>(value))) {}
    template <std::floating_point F>
    GridSelectableItem(F value) : text_(decimalText(static_cast<double>(value))) {} // NOLINT
    template <HasDisplayString T>
    GridSelectableItem(const T& value) : text_(value.displayString()) {} // NOLINT

    const std::string& displayString() const { return text_; }

    /// The items of a range of values, in order: `GridSelectableItem::list(isoValues)`.
    template <class Range>
    static std::vector<GridSelectableItem> list(const Range& values) {
        std::vector<GridSelectableItem> items;
        for (const auto& value : values) {
            items.emplace_back(value);
        }
        return items;
    }

private:
    static std::string integerText(long long value);
    static std::string decimalText(double value);
    std::string text_;
};

} // namespace qv
