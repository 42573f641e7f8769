#pragma once
// Elements: the built, laid-out form of a view tree. Each element has a
// structural identity, the environment it was built in, a layout frame in
// screen points (before drawing effects) and the transform that drawing effects
// of it and its ancestors apply. A ViewTree owns the elements of one scene.
//
// Layout follows one protocol: a parent proposes a size (`sizeThatFits`), the
// child answers, and the parent places the child with `place` at a frame of the
// answered size. Answers are cached per proposal for one layout pass.

#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/geometry/Shape.hpp"
#include "platform/ui/views/Environment.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

class Element;
using ElementList = std::vector<std::unique_ptr<Element>>;

/// What a parent hands a child when placing it: screen and safe-area rectangles
/// (for geometry readers and `ignoresSafeArea`), the accumulated transform, and the
/// part of the screen where the child can be seen (the screen, narrowed by the
/// scroll views around it; lazy containers build only what meets it).
struct PlaceContext {
    Rect screen;
    Rect safeArea;
    Transform toScreen;
    Rect visible;
};

struct RenderContext {
    cairo_t* cr = nullptr;
    double scale = 1; // pixels per point
    /// Multiplies the colours of an element that draws in one operation (set by
    /// an opacity over it instead of an offscreen group; 1 everywhere else).
    double opacity = 1;
    /// Replaces the colour of an element that draws in one operation, its alpha
    /// multiplying the element's own (set by an unblurred shadow, which draws
    /// such content once in its colour under it instead of offscreen).
    std::optional<Color::Rgba> tint{};
    /// Set while only a part of the frame is drawn (the rest kept from the frame before):
    /// the device rectangle, in whole pixels, the frame and the clips of the views around
    /// leave (shapes by their bounds). Offscreen effects draw as much of their content as
    /// they would for the whole frame, so blurring near the part's edge gives the same pixels.
    /// Unset again under a clip whose extents are drawn whole (drawClipped).
    std::optional<Rect> partialClip{};
    /// This context for what is drawn under a clip to the current path of `cr`, set
    /// before the clip takes the path: partialClip narrowed to the path's device bounds,
    /// rounded out to whole pixels as Cairo rounds its clip's extents.
    RenderContext clippedToPath() const;
    /// Clips `cr` to the path `addPath` adds to it (in its user space, non-zero rule) and
    /// draws `content` under the clip with this context narrowed to it (clippedToPath); `cr`
    /// is as before afterwards. In a part of a frame, under a clip that cuts through pixels,
    /// what is drawn gives the whole frame's pixels: a part that holds the clip's extents
    /// draws them whole, and one that cuts them draws into a copy of the target over them,
    /// under that clip alone, copied back onto the part.
    void drawClipped(const std::function<void(cairo_t*)>& addPath,
                     const std::function<void(const RenderContext&)>& content) const;
};

class Element {
public:
    Element(std::string kind, std::string identity, std::shared_ptr<const Environment> environment);
    virtual ~Element() = default;
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    // ---- Queries --------------------------------------------------------------
    const std::string& kind() const { return kind_; }
    /// Structural identity: the path of kinds and child positions from the root.
    const std::string& identity() const { return identity_; }
    const Environment& environment() const { return *environment_; }
    const std::shared_ptr<const Environment>& sharedEnvironment() const { return environment_; }
    const Element* parent() const { return parent_; }
    const ElementList& children() const { return children_; }
    /// Layout frame in screen points, before drawing effects.
    const Rect& frame() const { return frame_; }
    /// The frame as drawn: drawing effects of this element and its ancestors applied.
    Rect screenFrame() const { return toScreen_.apply(frame_); }
    /// Maps this element's layout coordinates to the screen.
    const Transform& toScreen() const { return toScreen_; }
    const std::string& tag() const { return tag_; }
    double zIndex() const { return zIndex_; }
    double layoutPriority() const { return layoutPriority_; }
    const std::optional<Shape>& contentShape() const { return contentShape_; }
    /// The text a Text shows, the name of a symbol or asset image; empty otherwise.
    virtual std::string text() const { return {}; }
    virtual std::string symbolName() const { return {}; }
    /// How a Text was fitted: the shrink factor used, whether it was cut off,
    /// its line count and the characters no font could draw. Absent for other kinds.
    struct TextInfo {
        double scale = 1;
        bool truncated = false;
        int lines = 0;
        int unknownGlyphs = 0;
    };
    virtual std::optional<TextInfo> textInfo() const { return std::nullopt; }
    /// What a shape draws, so tests check drawings rather than pixels: its outline in
    /// screen points (through every transform above it), filled (non-zero rule) or
    /// stroked, its colour for the scheme in effect, and the product of the opacity
    /// effects of its ancestors. Absent for elements that are not shapes (colours are).
    struct ShapeInfo {
        Path path;
        std::optional<StrokeStyle> stroke; // absent: filled
        Color::Rgba color;
        double opacity = 1;
        bool filled() const { return !stroke; }
        double lineWidth() const { return stroke ? stroke->lineWidth : 0; }
    };
    virtual std::optional<ShapeInfo> shapeInfo() const { return std::nullopt; }
    /// What a shadow effect draws under its content: its colour for the scheme in
    /// effect, blur radius and offset in points. Absent for other elements.
    struct ShadowInfo {
        Color::Rgba color;
        double radius = 0;
        Size offset;
    };
    virtual std::optional<ShadowInfo> shadowInfo() const { return std::nullopt; }
    /// The radius in points of a blur effect; absent for other elements.
    virtual std::optional<double> blurRadius() const { return std::nullopt; }
    /// The opacity this element applies to what it draws (an opacity effect); 1 otherwise.
    virtual double ownOpacity() const { return 1; }
    /// The product of the opacity effects of this element and its ancestors.
    double inheritedOpacity() const;
    /// The first or last text baseline of the texts in this placed subtree, as a
    /// screen layout y (the topmost first, the bottommost last); absent without text.
    virtual std::optional<double> textBaseline(bool last) const;
    /// Whether this element is a spacer (stacks give spacers space last).
    virtual bool isSpacer() const { return false; }

    // ---- Input (hit testing walks these; see HitTest.hpp) -----------------------
    /// Whether `point` (in this element's layout coordinates, those of `frame()`) falls
    /// on what the element draws itself: text and images by their frame, shapes by
    /// their outline while their colour is not fully transparent.
    virtual bool hitsContent(Point /*point*/) const { return false; }
    /// Whether input reaches this element's subtree at `point` (false outside a clip
    /// shape and under zero opacity).
    virtual bool admitsInput(Point /*point*/) const { return true; }
    /// The children in drawing order, bottom first (the reverse is the hit order).
    virtual std::vector<const Element*> drawingOrder() const;

    // ---- Properties set by modifiers that add no element of their own ----------
    void setTag(std::string tag) { tag_ = std::move(tag); }
    void setZIndex(double z) { zIndex_ = z; }
    void setLayoutPriority(double p) { layoutPriority_ = p; }
    void setContentShape(Shape shape) { contentShape_ = std::move(shape); }
    void setIdentity(std::string identity) { identity_ = std::move(identity); }
    /// Adds a child built after the element was made (a lazy container's cells, a
    /// cover over the scene's root). The caller places it.
    void adoptChild(std::unique_ptr<Element> child) { addChild(std::move(child)); }

    // ---- Layout ----------------------------------------------------------------
    Size sizeThatFits(ProposedSize proposal);
    /// Places this element at `frame` and lays out its descendants.
    void place(const Rect& frame, const PlaceContext& context);

    // ---- Drawing ---------------------------------------------------------------
    /// Draws this element and its descendants (the context's CTM maps layout points).
    /// An element whose transform, frame or own drawing values are not finite is not
    /// drawn, nor is its content (one log line per identity); the rest of the scene is.
    void render(const RenderContext& context) const;
    /// Screen rectangle that holds everything this element draws (without shadows or blur).
    Rect visualBounds() const;
    /// Whether drawing this element alone paints every point of `area` (screen
    /// points) opaquely, so nothing under it needs drawing. May answer false.
    virtual bool paintsOpaque(const Rect& /*area*/) const { return false; }
    /// Whether the element draws itself in one painting operation and has no
    /// children, so an opacity over it may fade its colour (RenderContext::opacity)
    /// instead of compositing an offscreen group: the pixels are the same.
    virtual bool drawsInOneOperation() const { return false; }

    // ---- Changes between builds (what a window draws again) ---------------------
    /// Whether this element draws what `other` draws of its own (before its children and
    /// around them: colours, paths, texts, pictures, effects); `other` is an element of
    /// the same type, z index and count of children from another build. The frame and
    /// transform are compared by the caller for elements without children only: one with
    /// children whose own drawing follows its frame compares it here. Elements that only
    /// lay out answer true (elements::LayoutElement); the default, for kinds that draw, is
    /// false.
    virtual bool drawsLike(const Element& /*other*/) const { return false; }
    /// Screen rectangle holding every pixel drawing this element and its descendants may
    /// change: visualBounds with what is drawn beyond the frames (glyphs past a text's
    /// box, the reach of shadows and blurs inside it).
    Rect damageBounds() const;
    /// Where a change of what the descendants draw within `area` (screen points) shows
    /// once this element's own effect applies: grown by a blur's or a shadow's reach.
    virtual Rect reach(const Rect& area) const { return area; }
    /// damageBounds() with the reach of every ancestor's effect.
    Rect damageOnScreen() const;

protected:
    void addChild(std::unique_ptr<Element> child);
    Element& child(size_t i) const { return *children_[i]; }
    const PlaceContext& placeContext() const { return placeContext_; }

    /// The answer to a proposal (uncached). A NaN in the answer counts as zero (one log
    /// line per identity), so one bad size does not spread through its parents.
    virtual Size measure(ProposedSize proposal) = 0;
    /// The drawing transform this element applies, in screen layout coordinates.
    virtual Transform effect() const { return {}; }
    /// Places the children once `frame()` is set; the default places each child
    /// centred in the frame, proposing the frame's size.
    virtual void placeChildren();
    /// Places a child at the frame of its answer to `proposal`, aligned in `container`.
    void placeChild(Element& child, const Rect& container, Alignment alignment,
                    std::optional<ProposedSize> proposal = std::nullopt);
    void placeChildAt(Element& child, const Rect& frame);
    /// Draws what is the element's own (before its children).
    virtual void drawSelf(const RenderContext&) const {}
    /// Whether the element's own drawing values (opacity, radii, offsets) are finite.
    virtual bool hasFiniteValues() const { return true; }
    /// Logs, once per identity and `what` ("transform", "path"), that the element is
    /// not drawn because a value of it is not finite.
    void reportNonFinite(const char* what) const;
    /// Draws the children in z order.
    void drawChildren(const RenderContext& context) const;
    /// Draws self and children; effect elements wrap this.
    virtual void drawContent(const RenderContext& context) const;
    /// `paintsOpaque` of an element that draws nothing itself: its first child
    /// in drawing order decides.
    bool firstDrawnChildPaintsOpaque(const Rect& area) const;
    /// visualBounds() with the reach of the shadows and blurs inside (not of this element's
    /// own effect): what an offscreen surface or an opacity group of this element holds,
    /// so it cuts off nothing they paint past the frames.
    Rect contentPaintBounds() const;
    /// Whether drawing is clipped to the frame (for visual bounds).
    virtual bool clipsContent() const { return false; }
    /// Screen rectangle that holds what the element draws itself, before its children
    /// (its screen frame unless the element knows better; empty for one that draws
    /// nothing itself). Offscreen effects allocate and blur no more than this.
    virtual Rect ownVisualBounds() const { return screenFrame(); }
    /// What the element's own drawing may change: ownVisualBounds unless it draws beyond.
    virtual Rect ownDamageBounds() const { return ownVisualBounds(); }

    ElementList children_;

private:
    std::string kind_;
    std::string identity_;
    std::shared_ptr<const Environment> environment_;
    Element* parent_ = nullptr;
    Rect frame_{};
    Transform toScreen_{};
    PlaceContext placeContext_{};
    std::string tag_;
    double zIndex_ = 0;
    double layoutPriority_ = 0;
    std::optional<Shape> contentShape_;
    std::vector<std::pair<ProposedSize, Size>> cache_;
};

} // namespace qv::platform::ui
