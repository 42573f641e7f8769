#include "screen/overlays/HistogramView.hpp"

#include "platform/ui/views/Views.hpp"

#include <algorithm>
#include <memory>

namespace qv {

using namespace platform::ui;

namespace {

// The largest count of the three channels, as the common scale's reference.
std::uint64_t largestCount(const Histogram& histogram) {
    std::uint64_t largest = 0;
    for (const auto* channel : {&histogram.red, &histogram.green, &histogram.blue}) {
        if (!channel->empty()) {
            largest = std::max(largest, *std::max_element(channel->begin(), channel->end()));
        }
    }
    return largest;
}

ShapeView polygon(std::shared_ptr<const std::vector<Point>> outline) {
    return PathShape([outline = std::move(outline)](const Rect& frame) {
        Path path;
        for (std::size_t i = 0; i < outline->size(); ++i) {
            const Point p{frame.minX() + (*outline)[i].x, frame.minY() + (*outline)[i].y};
            i == 0 ? path.moveTo(p) : path.lineTo(p);
        }
        path.closeSubpath();
        return path;
    });
}

View channel(const std::vector<std::uint64_t>& bins, std::size_t binCount, double scaleY, Size plot,
             const Color& color, double opacity) {
    auto outline = std::make_shared<const std::vector<Point>>(
        HistogramView::channelOutline(bins, binCount, scaleY, plot));
    return Group({polygon(outline).fill(color.opacity(opacity)),
                  polygon(outline).stroke(color, metrics::histogramOutlineWidth)});
}

View plot(const Histogram& histogram, double opacity, Size size) {
    const auto binCount = histogram.red.size();
    const double scaleY = size.height / static_cast<double>(largestCount(histogram));
    return ZStack({channel(histogram.red, binCount, scaleY, size, Color::red(), opacity),
                   channel(histogram.green, binCount, scaleY, size, Color::green(), opacity),
                   channel(histogram.blue, binCount, scaleY, size, Color::blue(), opacity),
                   Rectangle()
                       .inset(metrics::histogramOutlineWidth / 2)
                       .stroke(metrics::histogramBorderColor(), metrics::histogramOutlineWidth)});
}

} // namespace

std::vector<Point> HistogramView::channelOutline(const std::vector<std::uint64_t>& bins,
                                                 std::size_t binCount, double scaleY, Size plot) {
    const double stepX = plot.width / static_cast<double>(binCount);
    const std::size_t drawn = std::min(bins.size(), binCount);
    std::vector<Point> outline;
    outline.reserve(drawn + 2);
    outline.push_back({0, plot.height});
    for (std::size_t i = 0; i < drawn; ++i) {
        outline.push_back({(static_cast<double>(i) + 0.5) * stepX,
                           plot.height - 0.9 * scaleY * static_cast<double>(bins[i])});
    }
    outline.push_back({plot.width, plot.height});
    return outline;
}

View HistogramView::body() const {
    const bool drawsPlot = histogram && !histogram->red.empty() && largestCount(*histogram) > 0;
    return ZStack(
        {View(Color::gray().opacity(opacity)).testTag("histogram box"), If(drawsPlot, [&] {
             return GeometryReader([h = *histogram, o = opacity](const GeometryProxy& p) {
                        return plot(h, o, p.size);
                    })
                 .testTag("histogram plot")
                 .padding(metrics::histogramInset);
         })});
}

} // namespace qv
