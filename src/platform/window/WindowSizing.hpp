#pragma once
// The window's size in points and pixels: phone proportions, the display's scale,
// and the limits a resize stays within.

namespace qv::platform::window {

struct PointSize {
    double width = 0, height = 0;
    friend bool operator==(const PointSize&, const PointSize&) = default;
};

struct WindowSizing {
    PointSize points{390, 844};
    PointSize minimum{320, 568}; // the smallest phone the screens are laid out for
    PointSize maximum{440, 956}; // the largest
    double safeAreaTop = 47;
    double safeAreaBottom = 34;

    /// Pixels per point for a display of `dpi` dots per inch (96 is one pixel per point),
    /// in half steps from 1, reduced so that the window's height fits `usableHeightPixels`.
    double scaleFor(double dpi, double usableHeightPixels) const;
    /// The point size for a window resized to the given pixels, held within the limits.
    PointSize pointsForPixels(double widthPixels, double heightPixels, double scale) const;
};

} // namespace qv::platform::window
