#pragma once

#include "model/Histogram.hpp"
#include "platform/ui/geometry/Path.hpp"
#include "platform/ui/views/View.hpp"
#include "screen/Metrics.hpp"

#include <optional>
#include <vector>

namespace qv {

// The live histogram: the red, green and blue counts as three overlapping translucent
// areas on a gray box that fills the view's frame. The plot takes the frame inset by 10
// points; all three channels share one scale, so the largest count of any channel reaches
// 0.9 of the plot's height, and one step across, the plot's width over the number of red
// bins. Each area is filled at alpha `opacity` and outlined 1 point wide in its opaque
// colour; a 1-point border of white at 30 % runs just inside the plot.
//
// Without a histogram, or with no count above 0 (no real frame gives that), only the box
// is drawn. A channel longer than red is cut at red's length, so nothing is drawn outside
// the plot.
struct HistogramView {
    std::optional<Histogram> histogram;
    double opacity = metrics::histogramOpacity; // of the box, and the areas' alpha

    platform::ui::View body() const; // the box is tagged "histogram box", the plot
                                     // "histogram plot"

    // The outline of one channel in a plot of `plot` points: from the bottom-left corner
    // through ((i + 0.5) stepX, h - 0.9 scaleY bins[i]) for each of the first `binCount`
    // bins, to the bottom-right corner, closed; points measured from the plot's corner.
    static std::vector<platform::ui::Point> channelOutline(const std::vector<std::uint64_t>& bins,
                                                           std::size_t binCount, double scaleY,
                                                           platform::ui::Size plot);
};

} // namespace qv
