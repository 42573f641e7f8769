#include "OverlaysPage.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/BadgeRowView.hpp"
#include "screen/overlays/CameraPreviewView.hpp"
#include "screen/overlays/FocusTargetView.hpp"
#include "screen/overlays/GridOverlayView.hpp"
#include "screen/overlays/HistogramView.hpp"
#include "screen/overlays/LensPositionView.hpp"
#include "screen/overlays/MessageView.hpp"
#include "screen/overlays/ResultCoverView.hpp"
#include "screen/overlays/SpiritLevelView.hpp"

namespace qv::testing {

using namespace platform::ui;
using platform::DeviceOrientation;

namespace {

constexpr double kScale = 0.5;
constexpr Size kPreview{390, 520};
constexpr double kUnit = 390.0 / 31;
constexpr double kGap = 12;

View caption(const std::string& text) {
    return Text(text).font(Font::caption()).foregroundStyle(ShapeStyle::secondary());
}

// A screen-sized view drawn scaled down into a tile, with its caption.
View tile(View content, Size size, const std::string& tag) {
    return VStack({std::move(content)
                       .frame(size.width, size.height)
                       .scaleEffect(kScale)
                       .frame(size.width * kScale, size.height * kScale)
                       .clipped()
                       .overlay(Rectangle().stroke(Color::darkGray(), 1))
                       .testTag(tag),
                   caption(tag)},
                  HorizontalAlignment::center, 4);
}

// The live picture with overlays over it, as the preview region stacks them.
View preview(const OverlaysPageValues& v, std::vector<View> overlays) {
    overlays.insert(overlays.begin(), CameraPreviewView{v.preview});
    return ZStack(std::move(overlays));
}

View badges(SequenceMode mode, SupportedImageFormat format) {
    return BadgeRowView{mode, format, 3, kUnit, [] {}, [] {}};
}

View grid(GridOverlayType type) {
    return GridOverlayView{type, metrics::gridColor(), metrics::gridLineWidth};
}

View level(const LevelReading& r, DeviceOrientation orientation) {
    return SpiritLevelView{r.levelAngle, r.angleXY, r.angleXZ, r.angleYZ, orientation};
}

// A box at the bottom of the preview, 0.85 x 0.25 of its width, as the screen places the
// histogram and the message.
View bottomBox(View content) {
    return VStack(
        {Spacer(),
         std::move(content)
             .frame(0.85 * kPreview.width, 0.25 * kPreview.width)
             .clipShape(RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous))
             .shadow(metrics::overlayShadowColor(), metrics::overlayShadowRadius)
             .padding()});
}

View focusAndMessage(const OverlaysPageValues& v) {
    return preview(v, {View(FocusTargetView{})
                           .frame(metrics::focusTargetSize, metrics::focusTargetSize)
                           .foregroundColor(metrics::focusTargetColor())
                           .position(250, 180),
                       bottomBox(MessageView{"Camera not compatible with Night Mode"})});
}

View lensScale(const OverlaysPageValues& v) {
    return VStack({preview(v, {}).frame(kPreview.width, kPreview.height),
                   View(LensPositionView{v.lensPosition, SequenceMode::frameAveraging, {}})
                       .frame(kPreview.width - 32, 2 * kUnit)
                       .padding(),
                   Spacer()},
                  HorizontalAlignment::center, 0)
        .background(Color::black());
}

} // namespace

View overlaysPage(const OverlaysPageValues& v) {
    const auto column = [](std::vector<View> tiles) {
        return VStack(std::move(tiles), HorizontalAlignment::center, kGap);
    };
    const View tiles = HStack(
        {column(
             {tile(preview(v, {grid(GridOverlayType::rectangular(3, 3)),
                               badges(SequenceMode::frameAveraging, SupportedImageFormat::JPEG)}),
                   kPreview, "grid 3 x 3"),
              tile(preview(v, {level(v.upright, DeviceOrientation::portrait)}), kPreview,
                   "level upright"),
              tile(focusAndMessage(v), kPreview, "focus and message")}),
         column(
             {tile(preview(v, {grid(GridOverlayType::goldenRatio()),
                               badges(SequenceMode::starTrails, SupportedImageFormat::RAW)}),
                   kPreview, "golden ratio"),
              tile(preview(v, {level(v.flat, DeviceOrientation::faceUp)}), kPreview, "level flat"),
              tile(lensScale(v), {kPreview.width, kPreview.height + 2 * kUnit + 32},
                   "lens scale")}),
         column({tile(preview(v, {grid(GridOverlayType::rectangular(4, 4)),
                                  badges(SequenceMode::nightMode, SupportedImageFormat::TIFF)}),
                      kPreview, "grid 4 x 4"),
                 tile(preview(v, {bottomBox(HistogramView{v.histogram})}), kPreview, "histogram")}),
         column({tile(ResultCoverView{v.result, DeviceOrientation::portrait, kUnit, [] {}},
                      {390, 844}, "result cover")})},
        VerticalAlignment::top, kGap);
    return ZStack({View(Color::black()).ignoresSafeArea(), tiles.padding(kGap)},
                  Alignment::topLeading());
}

} // namespace qv::testing
