#include "screen/overlays/LensPositionView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/overlays/LineShape.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using namespace platform::ui;

namespace {

View tick(double x, double bottom, double top, double width) {
    return LineShape({x, bottom}, {x, top}).stroke(ShapeStyle::primary(), width);
}

View ruler(Size size, int majorDividers, int minorDividers, double marker) {
    const double w = size.width;
    const double hs = size.height;
    std::vector<View> marks;
    for (int i = 0; i <= majorDividers; ++i) {
        const double x = w * i / majorDividers;
        marks.push_back(tick(x, hs, metrics::lensMajorTickTop * hs, metrics::lensMajorTickWidth));
        for (int k = 1; i < majorDividers && k < minorDividers; ++k) {
            const double minor = x + w * k / (majorDividers * minorDividers);
            marks.push_back(
                tick(minor, hs, metrics::lensMinorTickTop * hs, metrics::lensMinorTickWidth));
        }
    }
    const double xm = w * marker;
    const double half = metrics::lensMarkerHalfWidth * w;
    marks.push_back(View(PathShape([xm, half, tip = metrics::lensMarkerHeight * hs](const Rect& f) {
                        Path path;
                        path.addLines({{f.minX() + xm - half, f.minY()},
                                       {f.minX() + xm + half, f.minY()},
                                       {f.minX() + xm, f.minY() + tip}});
                        path.closeSubpath();
                        return path;
                    })).testTag("lens marker"));
    return ZStack(std::move(marks));
}

} // namespace

std::optional<float> LensPositionView::position(double x, double width) {
    const double p = x / width;
    if (!std::isfinite(p)) {
        return std::nullopt;
    }
    return p <= 0 ? 0.0f : p > 1 ? 1.0f : static_cast<float>(p);
}

View LensPositionView::body() const {
    const int major = std::max(1, majorDividers);
    const int minor = std::max(1, minorDividers);
    const float marker = *isUpdating ? *steadyLensPosition : lensPosition;
    const auto scale = [view = *this, major, minor, marker](const GeometryProxy& area) {
        const double w = area.size.width;
        const double hs = metrics::lensRulerShare * area.size.height;
        const bool atEndOnly = view.sequenceMode == SequenceMode::starTrails;
        const auto drag = DragGesture(1, CoordinateSpace::local)
                              .onChanged([view, w, atEndOnly](const DragValue& value) {
                                  if (!*view.isUpdating) {
                                      view.steadyLensPosition.set(view.lensPosition);
                                      view.isUpdating.set(true);
                                  }
                                  const auto p = position(value.location.x, w);
                                  if (!p) {
                                      return;
                                  }
                                  view.steadyLensPosition.set(*p);
                                  if (!atEndOnly && view.setLensPosition) {
                                      view.setLensPosition(*p);
                                  }
                              })
                              .onEnded([view, w, atEndOnly](const DragValue& value) {
                                  const auto p = position(value.location.x, w);
                                  if (atEndOnly && p && view.setLensPosition) {
                                      view.setLensPosition(*p);
                                  }
                                  view.isUpdating.set(false);
                              });
        return ZStack({Color::black().opacity(metrics::hitAreaOpacity),
                       ruler({w, hs}, major, minor, marker).frame(w, hs)},
                      Alignment::bottom())
            .gesture(drag)
            .testTag("lens scale");
    };
    return GeometryReader([scale](const GeometryProxy& proxy) {
               return HStack({Text("0").padding(Edges::leading), GeometryReader(scale),
                              Image::system("infinity").padding(Edges::trailing)},
                             VerticalAlignment::bottom)
                   .font(Font::system(metrics::lensFontShare * proxy.size.height))
                   .frame(proxy.size.width, proxy.size.height);
           })
        .background(Color::black().opacity(metrics::lensBackgroundOpacity))
        .colorScheme(platform::ui::ColorScheme::dark)
        .clipShape(RoundedRectangle(cornerRadius, RoundedCornerStyle::continuous));
}

} // namespace qv
