#pragma once
// What of a frame buffer to draw again, for a window that keeps the frame it drew last and
// draws only what changed: rectangles of whole pixels, and the changes between two builds
// of a scene that call for them.

#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/views/Element.hpp"

#include <vector>

namespace qv::platform::ui {

class Damage {
public:
    /// A rectangle of screen points, rounded out to whole pixels at `scale` pixels per point
    /// and grown by one pixel (anti-aliased edges reach into it).
    void add(const Rect& points, double scale);
    void add(const PixelRect& pixels);
    bool empty() const { return rects_.empty(); }
    /// The rectangles within a `width` x `height` buffer, those that meet merged into the
    /// rectangle holding both; more than eight become the one rectangle holding them all.
    std::vector<PixelRect> within(int width, int height) const;

private:
    std::vector<PixelRect> rects_;
};

/// Adds to `damage` what differs between two builds of a scene, walking both trees from
/// their roots by child position: where an element of `after` differs from the element of
/// `before` in its place (type, z index, count of children, what it draws itself or applies
/// to its content: Element::drawsLike, and for a leaf its frame and transform), the screen
/// areas both may have drawn, with the reach of their ancestors' effects. Containers that
/// only move their children are not drawn again for it: their children are compared.
/// Identities do not count: they change no pixel.
void addChanges(const Element& before, const Element& after, double scale, Damage& damage);

} // namespace qv::platform::ui
