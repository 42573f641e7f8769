#pragma once
// Factories of the built-in element kinds; the view nodes of View.cpp and
// Views.cpp create their elements through these. Internal to the view layer.

#include "platform/ui/drawing/Bitmap.hpp"
#include "platform/ui/views/Element.hpp"
#include "platform/ui/views/View.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::platform::ui::elements {

/// What every element starts from: its kind, identity and environment.
struct Init {
    std::string kind;
    std::string identity;
    std::shared_ptr<const Environment> environment;
};
using Ptr = std::unique_ptr<Element>;

// Containers.
// Cross alignment: 0 leading/top, 1 centre, 2 trailing/bottom, 3 first and 4
// last text baseline (horizontal stacks).
Ptr stack(Init init, Axis axis, int crossAlignment, double spacing, ElementList children);
Ptr zstack(Init init, Alignment alignment, ElementList children);
Ptr spacer(Init init, double minLength);
Ptr geometryReader(Init init, std::function<View(const GeometryProxy&)> content,
                   ResolveContext contentContext);
/// The root of a scene: places its children centred in the safe area.
Ptr root(Init init, ElementList children);
/// Adds a layer above everything to a placed root and places it like the others.
void placeRootLayer(Element& root, Ptr layer);

// Layout modifiers.
Ptr padding(Init init, Ptr child, EdgeInsets insets);
Ptr fixedFrame(Init init, Ptr child, std::optional<double> width, std::optional<double> height,
               Alignment alignment);
Ptr flexibleFrame(Init init, Ptr child, FrameLimits limits);
Ptr fixedSize(Init init, Ptr child, bool horizontal, bool vertical);
Ptr aspectRatio(Init init, Ptr child, std::optional<double> ratio, ContentMode mode);
Ptr position(Init init, Ptr child, Point center);
Ptr offset(Init init, Ptr child, double x, double y);
/// Overlay (secondary drawn above) or background (secondary drawn below).
Ptr layers(Init init, Ptr primary, Ptr secondary, Alignment alignment, bool secondaryOnTop);
Ptr ignoresSafeArea(Init init, Ptr child, Edges edges);

// Drawing effects.
Ptr opacity(Init init, Ptr child, double opacity);
Ptr rotation(Init init, Ptr child, double radians, UnitPoint anchor);
Ptr scale(Init init, Ptr child, double x, double y, UnitPoint anchor);
Ptr shadow(Init init, Ptr child, Color color, double radius, double x, double y);
Ptr blur(Init init, Ptr child, double radius, bool opaque);
Ptr clip(Init init, Ptr child, Shape shape);
/// Draws the child with its colours inverted and its alpha kept.
Ptr colorInvert(Init init, Ptr child);

// Leaves.
Ptr text(Init init, std::string text);
/// The pixels of a bitmap image: a bitmap, or a media image converted when drawn.
struct ImagePixels {
    Bitmap bitmap;
    std::shared_ptr<const RgbaImage> media;
};
Ptr image(Init init, Image::Kind kind, std::string name, ImagePixels pixels, bool resizable);
/// A shape filled (`stroke` absent) or stroked with `style` (absent: the foreground style).
Ptr shape(Init init, Shape shape, std::optional<ShapeStyle> style,
          std::optional<StrokeStyle> stroke);

} // namespace qv::platform::ui::elements
