#include "model/GridOverlayType.hpp"

#include <atomic>

namespace qv {

namespace {

std::uint64_t nextLineId() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

using Line = GridOverlayType::LineCoordinates;

Line vertical(double x, double height) {
    return {nextLineId(), {x, 0}, {x, height}};
}

Line horizontal(double y, double width) {
    return {nextLineId(), {0, y}, {width, y}};
}

} // namespace

std::vector<Line> GridOverlayType::lineCoordinates(double width, double height) const {
    std::vector<Line> lines;
    if (isGoldenRatio()) {
        for (const double share : {0.382, 0.618}) {
            lines.push_back(vertical(share * width, height));
        }
        for (const double share : {0.382, 0.618}) {
            lines.push_back(horizontal(share * height, width));
        }
        return lines;
    }
    const Rectangular counts = *rectangularCounts();
    const bool landscape = height < width;
    const int columns = landscape ? counts.longCount : counts.shortCount;
    const int rows = landscape ? counts.shortCount : counts.longCount;
    for (int i = 1; i < columns; ++i) {
        lines.push_back(vertical(1.0 / columns * i * width, height));
    }
    for (int j = 1; j < rows; ++j) {
        lines.push_back(horizontal(1.0 / rows * j * height, width));
    }
    return lines;
}

} // namespace qv
