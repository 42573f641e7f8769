#include "screen/controls/ShutterReleaseButtonView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"

#include <algorithm>
#include <numbers>
#include <string>

namespace qv {

using namespace platform::ui;

namespace {

bool releasesOrAborts(CameraState state) {
    return state == CameraState::ready || state == CameraState::countdown ||
           state == CameraState::shooting;
}

// A full circle about the centre of the frame it is drawn in.
ShapeView circleOfRadius(double radius) {
    return PathShape([radius](const Rect& frame) {
        Path path;
        path.addArc(frame.center(), radius, 0, 2 * std::numbers::pi, true);
        return path;
    });
}

} // namespace

double ShutterReleaseButtonView::ringRadius(double width, double height) {
    return std::min(width, height) * metrics::shutterRingShare * 0.5;
}

double ShutterReleaseButtonView::discRadius(double width, double height) {
    return ringRadius(width, height) * metrics::shutterDiscShare;
}

View ShutterReleaseButtonView::body() const {
    const CameraState state = cameraState;
    const Delay delay = shutterReleaseDelay;
    const std::int64_t seconds = *timeUntilShutterRelease;
    const Color color =
        releasesOrAborts(state) ? metrics::shutterReadyColor() : metrics::shutterBusyColor();
    const View button = GeometryReader([=](const GeometryProxy& proxy) {
        const double w = proxy.size.width;
        const double h = proxy.size.height;
        const double r = ringRadius(w, h);
        const double ri = discRadius(w, h);
        const double digitSquare = ri * metrics::shutterDigitSquareShare;
        return ZStack({circleOfRadius(r)
                           .stroke(color, metrics::shutterRingWidth)
                           .testTag("shutter ring"),
                       ZStack({If(state != CameraState::shooting,
                                  [&] {
                                      return circleOfRadius(ri).fill(color).testTag("shutter disc");
                                  }),
                               If(seconds >= 1 && state == CameraState::countdown,
                                  [&] {
                                      return Text(std::to_string(seconds))
                                          .lineLimit(1)
                                          .monospacedDigit()
                                          .minimumScaleFactor(metrics::shutterDigitMinimumScale)
                                          .scaledToFit()
                                          .frame(digitSquare, digitSquare)
                                          .padding(metrics::shutterDigitPadding);
                                  }),
                               If(delay != Delay::off && state == CameraState::ready,
                                  [] { return Image::system("timer"); }),
                               If(state == CameraState::shooting,
                                  [&] {
                                      return RoundedRectangle(metrics::shutterStopCornerRadius,
                                                              RoundedCornerStyle::continuous)
                                          .fill(color)
                                          .testTag("shutter stop")
                                          .frame(ri, ri);
                                  })})})
            .font(Font::system(ri * metrics::shutterFontShare))
            .foregroundColor(Color::black())
            .frame(w, h);
    });
    const auto copy = timeUntilShutterRelease;
    const auto remaining = remainingCountdownSeconds;
    return button
        .frame(FrameLimits{}
                   .withMinWidth(metrics::shutterMinimumSize)
                   .withIdealWidth(metrics::shutterIdealSize)
                   .withMaxWidth(metrics::shutterLargestSize)
                   .withMinHeight(metrics::shutterMinimumSize)
                   .withIdealHeight(metrics::shutterIdealSize)
                   .withMaxHeight(metrics::shutterLargestSize))
        .contentShape(Circle())
        .onTapGesture(onTap)
        .onTimer(metrics::progressTickSeconds,
                 [copy, remaining] {
                     // Only a new value rebuilds the screen.
                     const std::int64_t now = remaining ? remaining() : 0;
                     if (now != *copy) {
                         copy.set(now);
                     }
                 })
        .testTag("shutter");
}

} // namespace qv
