#include "screen/overlays/LineShape.hpp"

namespace qv {

using namespace platform::ui;

ShapeView LineShape(Point from, Point to) {
    return PathShape([from, to](const Rect& frame) {
        Path path;
        path.moveTo({frame.minX() + from.x, frame.minY() + from.y});
        path.lineTo({frame.minX() + to.x, frame.minY() + to.y});
        return path;
    });
}

} // namespace qv
