#pragma once

#include <variant>

namespace qv {

// The composition grid over the preview: a rectangular grid of `shortCount` lines along
// the short side and `longCount` along the long side, or the golden-ratio grid. Which lines
// each draws is the grid view's business.
struct GridOverlayType {
    struct Rectangular {
        int shortCount = 3;
        int longCount = 3;
        friend constexpr bool operator==(Rectangular, Rectangular) = default;
    };
    struct GoldenRatio {
        friend constexpr bool operator==(GoldenRatio, GoldenRatio) = default;
    };

    std::variant<Rectangular, GoldenRatio> value = Rectangular{};

    static constexpr GridOverlayType rectangular(int shortCount, int longCount) {
        return {Rectangular{shortCount, longCount}};
    }
    static constexpr GridOverlayType goldenRatio() { return {GoldenRatio{}}; }

    // The counts of a rectangular grid; null for the golden ratio.
    constexpr const Rectangular* rectangularCounts() const {
        return std::get_if<Rectangular>(&value);
    }
    constexpr bool isGoldenRatio() const { return std::holds_alternative<GoldenRatio>(value); }

    friend constexpr bool operator==(const GridOverlayType&, const GridOverlayType&) = default;
};

} // namespace qv
