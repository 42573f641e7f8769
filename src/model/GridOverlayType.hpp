#pragma once

#include <cstdint>
#include <variant>
#include <vector>

namespace qv {

// The composition grid over the preview: a rectangular grid of `shortCount` equal cells
// along the frame's short side and `longCount` along its long side, or the golden-ratio
// grid.
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

    // One line of a grid in a frame's points (y grows downwards). Every line made has an
    // identity of its own.
    struct LineCoordinates {
        struct Point {
            double x = 0, y = 0;
            friend constexpr bool operator==(Point, Point) = default;
        };
        std::uint64_t id = 0;
        Point startPoint;
        Point endPoint;
    };

    // The lines of the grid in a frame of `width` x `height`, never its border:
    // - golden ratio: verticals at 0.382 and 0.618 of the width, then horizontals at the
    //   same shares of the height;
    // - rectangular: columns and rows by the frame's shape (a frame wider than high has
    //   `longCount` columns and `shortCount` rows; a square or upright one the reverse),
    //   the verticals at (1 / columns) x i x width for i = 1 ... columns - 1 first, then the
    //   horizontals likewise. A count below 2 gives no line in its direction.
    std::vector<LineCoordinates> lineCoordinates(double width, double height) const;

    friend constexpr bool operator==(const GridOverlayType&, const GridOverlayType&) = default;
};

} // namespace qv
